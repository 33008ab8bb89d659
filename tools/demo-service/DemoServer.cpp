#include "tools/demo-service/DemoServer.h"

#include <fcntl.h>
#include <unistd.h>

#include <httplib.h>

#include <cerrno>
#include <vector>

namespace DemoService {
namespace {

// Percent-encodes everything but the unreserved characters, for a file name in an address.
std::string EncodePathPart(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// One open file, closed when the last response that streams it lets go.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Streams the requested byte range of one file; each request opens its own descriptor.
httplib::ContentProvider FileRangeProvider(const std::string& path) {
    auto file = std::make_shared<OpenFile>(path);
    return [file](size_t offset, size_t length, httplib::DataSink& sink) {
        if (file->fd() < 0) return false;
        std::vector<char> buffer(std::min<size_t>(length, 1 << 16));
        while (length > 0) {
            const ssize_t got = ::pread(file->fd(), buffer.data(), std::min(length, buffer.size()), static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0 || !sink.write(buffer.data(), static_cast<size_t>(got))) return false;
            offset += static_cast<size_t>(got);
            length -= static_cast<size_t>(got);
        }
        return true;
    };
}

// A range that starts past the end (or an empty suffix) cannot be served. cpp-httplib would
// answer it with a wrapped-around length, so such a request is refused here with 416.
bool AreRangesSatisfiable(const httplib::Ranges& ranges, uint64_t size) {
    for (const auto& [first, last] : ranges) {
        const bool satisfiable = first < 0 ? last > 0 && size > 0 : static_cast<uint64_t>(first) < size;
        if (!satisfiable) return false;
    }
    return true;
}

// A range may end past the end of the file ("bytes=10-" written with a large end); it then
// ends at the last byte. cpp-httplib slices with the end as given, so the parsed ranges are
// clamped before it answers. The request object is the server's own, not a constant one.
void ClampRangeEnds(httplib::Ranges& ranges, uint64_t size) {
    for (auto& range : ranges) {
        if (range.first >= 0 && (range.second < 0 || static_cast<uint64_t>(range.second) >= size)) {
            range.second = static_cast<ssize_t>(size) - 1;
        }
    }
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

DemoServer::DemoServer(PackageCatalog catalog, std::FILE* log)
    : catalog_(std::move(catalog)), log_(log), server_(std::make_unique<httplib::Server>()) {
    AddRoutes();
}

DemoServer::~DemoServer() = default;

void DemoServer::AddRoutes() {
    server_->Get(kProductPath, [this](const httplib::Request& request, httplib::Response& response) {
        const std::string host = request.get_header_value("Host");
        const ServedPackage& package = catalog_.Current();
        // Set by hand: cpp-httplib's redirect helper would undo the percent-encoding.
        response.status = 302;
        response.set_header("Location", "http://" + (host.empty() ? authority_ : host) + "/" + package.md5 + "/" +
                                            EncodePathPart(package.name));
    });
    server_->Get(R"(/([0-9a-f]{32})/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
        const ServedPackage* package = catalog_.Find(request.matches[1], request.matches[2]);
        if (!package) {
            response.status = 404;
            return;
        }
        response.set_header("Accept-Ranges", "bytes");
        if (!AreRangesSatisfiable(request.ranges, package->size)) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(package->size));
            return;
        }
        ClampRangeEnds(const_cast<httplib::Ranges&>(request.ranges), package->size);
        response.set_content_provider(package->size, "application/octet-stream", FileRangeProvider(package->path));
    });
    server_->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        const std::string range = request.get_header_value("Range");
        std::fprintf(log_, "%s %s%s%s -> %d\n", request.method.c_str(), request.path.c_str(),
                     range.empty() ? "" : " ", range.c_str(), response.status);
        std::fflush(log_);
    });
}

platform::Expected<int, std::string> DemoServer::Bind(const std::string& host, int port) {
    if (!IsLoopbackHost(host)) return platform::MakeUnexpected("the demo service serves loopback addresses only, not " + host);
    const int bound = port == 0 ? server_->bind_to_any_port(host) : (server_->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) return platform::MakeUnexpected("cannot listen on " + host + ":" + std::to_string(port));
    authority_ = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(bound);
    return bound;
}

void DemoServer::Run() { server_->listen_after_bind(); }

void DemoServer::Stop() { server_->stop(); }

}  // namespace DemoService
