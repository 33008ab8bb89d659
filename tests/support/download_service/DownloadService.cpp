#include "support/download_service/DownloadService.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace testsupport {
namespace {

constexpr size_t kBlock = 64 * 1024;
constexpr const char* kProductPath = "/software/243";
constexpr const char* kRoutePath = "/route/243";

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::string HexDigest(const unsigned char* digest, unsigned size) {
    std::string text;
    char two[3];
    for (unsigned i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        text += two;
    }
    return text;
}

std::string ContentMd5(int64_t size) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_md5(), nullptr);
    std::vector<char> block(1 << 20);
    for (int64_t offset = 0; offset < size; offset += block.size()) {
        const size_t count = static_cast<size_t>(std::min<int64_t>(block.size(), size - offset));
        DownloadService::FillContent(offset, block.data(), count);
        EVP_DigestUpdate(context, block.data(), count);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    return HexDigest(digest, length);
}

}  // namespace

DownloadService::DownloadService(ServiceOptions options) : options_(std::move(options)) {
    if (options_.md5Folder.empty()) {
        md5_ = ContentMd5(options_.size);
        options_.md5Folder = md5_;
        if (options_.upperCaseMd5) {
            std::transform(md5_.begin(), md5_.end(), options_.md5Folder.begin(), [](char c) { return std::toupper(c); });
        }
    }
    if (!options_.certificateFile.empty() && !options_.keyFile.empty()) {
        server_ = std::make_unique<httplib::SSLServer>(options_.certificateFile.c_str(), options_.keyFile.c_str());
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    if (!server_->is_valid()) throw std::runtime_error("download service: server setup failed");
    auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
        Record(request);
        if (request.path == kProductPath || request.path == kRoutePath) {
            HandleProduct(request, response);
        } else if (request.path == "/" + options_.md5Folder + "/" + options_.fileName) {
            HandleFile(request, response);
        } else {
            response.status = 404;
        }
    };
    server_->Get(".*", dispatch);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("download service: no loopback port");
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    // A stop that comes before the listener runs would be lost, and the listener would
    // then wait for connections forever.
    while (!server_->is_running()) std::this_thread::yield();
}

DownloadService::~DownloadService() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    server_->stop();
    listener_.join();
}

std::string DownloadService::ProductUrl() const {
    const char* scheme = options_.certificateFile.empty() ? "http" : "https";
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + kProductPath;
}

std::string DownloadService::FileUrl() const {
    const char* scheme = options_.certificateFile.empty() ? "http" : "https";
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + "/" + options_.md5Folder + "/" +
           options_.fileName;
}

void DownloadService::SetFaults(const ServiceFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    faultyGetsServed_ = 0;
}

std::vector<ServedRequest> DownloadService::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t DownloadService::CountRequests(const std::string& method) const {
    std::lock_guard lock(mutex_);
    return std::count_if(requests_.begin(), requests_.end(),
                         [&](const ServedRequest& r) { return r.method == method; });
}

void DownloadService::FillContent(int64_t offset, char* out, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint64_t at = static_cast<uint64_t>(offset) + i;
        out[i] = static_cast<char>(Mix(at >> 3) >> ((at & 7) * 8));
    }
}

std::string DownloadService::Content(int64_t offset, size_t count) {
    std::string bytes(count, '\0');
    FillContent(offset, bytes.data(), count);
    return bytes;
}

bool DownloadService::FileMatches(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<char> actual(1 << 20), expected(1 << 20);
    int64_t offset = 0;
    bool same = true;
    while (same) {
        const size_t got = std::fread(actual.data(), 1, actual.size(), file);
        if (got == 0) break;
        if (offset + static_cast<int64_t>(got) > options_.size) { same = false; break; }
        FillContent(offset, expected.data(), got);
        same = std::memcmp(actual.data(), expected.data(), got) == 0;
        offset += got;
    }
    std::fclose(file);
    return same && offset == options_.size;
}

void DownloadService::Record(const httplib::Request& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back({request.method, request.path, request.get_header_value("Range")});
}

void DownloadService::SetFaultSequence(std::vector<ServiceFaults> sequence) {
    std::lock_guard lock(mutex_);
    sequence_ = std::move(sequence);
    sequenceServed_ = 0;
}

std::optional<ServiceFaults> DownloadService::FaultsForGet(int64_t first) {
    std::lock_guard lock(mutex_);
    if (!sequence_.empty()) {
        if (sequenceServed_ >= sequence_.size()) return std::nullopt;
        return sequence_[sequenceServed_++];
    }
    if (first < faults_.faultFrom || first > faults_.faultTo) return std::nullopt;
    if (faults_.faultyGets >= 0 && faultyGetsServed_ >= faults_.faultyGets) return std::nullopt;
    ++faultyGetsServed_;
    return faults_;
}

bool DownloadService::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

void DownloadService::HandleProduct(const httplib::Request& request, httplib::Response& response) {
    ServiceFaults faults;
    {
        std::lock_guard lock(mutex_);
        faults = faults_;
    }
    const std::string base = ProductUrl().substr(0, ProductUrl().size() - std::strlen(kProductPath));
    if (faults.redirectLoop) {
        response.set_redirect(base + request.path);
    } else if (request.path == kProductPath && options_.redirects > 1) {
        response.set_redirect(base + kRoutePath);
    } else {
        response.set_redirect(FileUrl());
    }
}

void DownloadService::HandleFile(const httplib::Request& request, httplib::Response& response) {
    const int64_t size = options_.size;
    // The service answers ranges itself, so that it can also answer them wrongly.
    const bool ranged = !request.ranges.empty();
    int64_t first = ranged ? request.ranges[0].first : 0;
    int64_t last = ranged && request.ranges[0].second >= 0 ? request.ranges[0].second : size - 1;
    const_cast<httplib::Request&>(request).ranges.clear();

    ServiceFaults faults;  // the GET's own faults; all clear when it is served right
    if (request.method == "HEAD") {
        {
            std::lock_guard lock(mutex_);
            faults.noContentLength = faults_.noContentLength;
            faults.headStatus = faults_.headStatus;
        }
        if (faults.headStatus != 0) { response.status = faults.headStatus; return; }
        first = 0;
        last = size - 1;
        response.status = 200;
    } else {
        faults = FaultsForGet(first).value_or(ServiceFaults{});
        if (faults.getStatus != 0) { response.status = faults.getStatus; return; }
        if (ranged && !faults.ignoreRange) {
            if (first >= size || first > last) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(size));
                return;
            }
            last = std::min(last, size - 1);
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                                                     std::to_string(size));
        } else {
            first = 0;
            last = size - 1;
            response.status = 200;
        }
    }
    const int64_t count = last - first + 1 + faults.excessBytes;
    int64_t limit = count;
    if (faults.dropAfter >= 0) limit = std::min(limit, faults.dropAfter);
    if (faults.stallAfter >= 0) limit = std::min(limit, faults.stallAfter);
    const bool stall = faults.stallAfter >= 0;
    const bool trickle = faults.trickle;
    const bool wrongBytes = faults.wrongBytes;

    auto produce = [this, first, limit, stall, trickle, wrongBytes](size_t offset, size_t length,
                                                                   httplib::DataSink& sink) {
        const int64_t at = static_cast<int64_t>(offset);
        if (at >= limit) {
            if (stall) Pause(std::chrono::seconds(60));
            return false;  // drops the connection
        }
        if (trickle) {
            if (!Pause(std::chrono::milliseconds(1500))) return false;
            length = 1;
        }
        const size_t n = static_cast<size_t>(std::min<int64_t>({static_cast<int64_t>(length),
                                                                static_cast<int64_t>(kBlock), limit - at}));
        char block[kBlock];
        FillContent(first + at, block, n);
        if (wrongBytes) {
            for (size_t i = 0; i < n; ++i) block[i] = static_cast<char>(~block[i]);
        }
        return sink.write(block, n);
    };
    if (faults.noContentLength) {
        // Chunked, so that the body still has a clear end without a length.
        response.set_chunked_content_provider("application/octet-stream",
                                              [produce, count](size_t offset, httplib::DataSink& sink) {
                                                  if (static_cast<int64_t>(offset) >= count) {
                                                      sink.done();
                                                      return true;
                                                  }
                                                  return produce(offset, count - offset, sink);
                                              });
    } else {
        response.set_content_provider(static_cast<size_t>(count), "application/octet-stream", produce);
    }
}

}  // namespace testsupport
