#include "TelemetryEndpoint.h"

#include <curl/curl.h>
#include <cctype>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

namespace testsupport {
namespace {

constexpr char kUserAgent[] = "VarnoTelemetry CPP SDK 0.9";
constexpr char kPrefix[] = "data_list=";
constexpr char kSuffix[] = "&gzip=1";

std::optional<std::string> Base64Decode(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=') ++padding;
    if (text.size() > 1 && text[text.size() - 2] == '=') ++padding;
    out.resize(static_cast<size_t>(n) - padding);
    return out;
}

std::optional<std::string> Gunzip(const std::string& bytes) {
    z_stream stream{};
    if (inflateInit2(&stream, 31) != Z_OK) return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char chunk[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        rc = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - stream.avail_out);
    }
    inflateEnd(&stream);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

std::string PercentDecode(const std::string& text) {
    int length = 0;
    char* decoded = curl_easy_unescape(nullptr, text.data(), static_cast<int>(text.size()), &length);
    std::string out(decoded, static_cast<size_t>(length));
    curl_free(decoded);
    return out;
}

bool IsPercentEncoded(const std::string& text) {
    for (const char c : text) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '%';
        if (!plain) return false;
    }
    return true;
}

// A throw-away RSA key and a self-signed certificate for 127.0.0.1.
std::pair<X509*, EVP_PKEY*> MakeSelfSignedCertificate() {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* cert = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_sign(cert, key, EVP_sha256());
    return {cert, key};
}

}  // namespace

std::optional<std::string> DecodeBatchBody(const std::string& body, std::string* problem) {
    auto fail = [&](const char* why) -> std::optional<std::string> {
        if (problem) *problem = why;
        return std::nullopt;
    };
    const std::string prefix = kPrefix, suffix = kSuffix;
    if (body.size() < prefix.size() + suffix.size() || body.compare(0, prefix.size(), prefix) != 0 ||
        body.compare(body.size() - suffix.size(), suffix.size(), suffix) != 0)
        return fail("body is not data_list=...&gzip=1");
    const std::string encoded = body.substr(prefix.size(), body.size() - prefix.size() - suffix.size());
    if (!IsPercentEncoded(encoded)) return fail("data_list is not percent-encoded");
    const auto compressed = Base64Decode(PercentDecode(encoded));
    if (!compressed) return fail("data_list is not base64");
    auto json = Gunzip(*compressed);
    if (!json) return fail("data_list is not gzip");
    return json;
}

TelemetryEndpoint::TelemetryEndpoint() : TelemetryEndpoint(Options{}) {}

TelemetryEndpoint::TelemetryEndpoint(Options options) : tls_(options.tls) {
    if (tls_) {
        auto [cert, key] = MakeSelfSignedCertificate();
        server_ = std::make_unique<httplib::SSLServer>(cert, key);
        X509_free(cert);
        EVP_PKEY_free(key);
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        int status = 200;
        Handle(req.method, req.target, req.get_header_value("User-Agent"), req.body, status);
        res.status = status;
        res.set_content(status == 200 ? "{\"code\":0}" : "refused", "text/plain");
    };
    server_->set_tcp_nodelay(true);  // answers go out at once, as from a real service
    server_->Post(".*", handler);
    server_->Get(".*", handler);
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TelemetryEndpoint::~TelemetryEndpoint() {
    ReleaseStalled();
    server_->stop();
    thread_.join();
}

std::string TelemetryEndpoint::Url() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/collect?project=pc";
}

std::string TelemetryEndpoint::UnusedUrl() {
    // A port the kernel just handed out and nobody listens on: connections are refused.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);
    close(fd);
    return "http://127.0.0.1:" + std::to_string(port) + "/collect?project=pc";
}

void TelemetryEndpoint::SetMode(Mode mode) {
    std::lock_guard guard(lock_);
    mode_ = mode;
    releaseStalled_ = false;
}

void TelemetryEndpoint::ReleaseStalled() {
    std::lock_guard guard(lock_);
    releaseStalled_ = true;
    if (mode_ == Mode::Stall) mode_ = Mode::Fail500;
    changed_.notify_all();
}

bool TelemetryEndpoint::WaitForStalled(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return stalled_ >= count; });
}

void TelemetryEndpoint::Handle(const std::string& method, const std::string& target, const std::string& userAgent,
                               const std::string& body, int& status) {
    std::unique_lock guard(lock_);
    ++requests_;
    changed_.notify_all();
    if (mode_ == Mode::Stall) {
        ++stalled_;
        changed_.notify_all();
        changed_.wait(guard, [&] { return releaseStalled_; });
        --stalled_;
        status = 500;
        return;
    }
    if (mode_ == Mode::Fail500) {
        status = 500;
        return;
    }
    std::string problem;
    if (method != "POST") problem = "method is " + method;
    else if (userAgent != kUserAgent) problem = "user agent is '" + userAgent + "'";
    std::optional<std::string> json;
    if (problem.empty()) json = DecodeBatchBody(body, &problem);
    Json::Value records;
    if (json) {
        Json::CharReaderBuilder builder;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        if (!reader->parse(json->data(), json->data() + json->size(), &records, &errors) || !records.isArray())
            problem = "batch is not a JSON array: " + errors;
    }
    if (!problem.empty()) {
        problems_.push_back(problem);
        status = 400;
        return;
    }
    batches_.push_back(ReceivedBatch{*json, records, userAgent, target});
    changed_.notify_all();
}

std::vector<ReceivedBatch> TelemetryEndpoint::Batches() const {
    std::lock_guard guard(lock_);
    return batches_;
}

std::vector<Json::Value> TelemetryEndpoint::Records() const {
    std::lock_guard guard(lock_);
    std::vector<Json::Value> out;
    for (const auto& batch : batches_)
        for (const auto& record : batch.records) out.push_back(record);
    return out;
}

size_t TelemetryEndpoint::Requests() const {
    std::lock_guard guard(lock_);
    return requests_;
}

std::vector<std::string> TelemetryEndpoint::Problems() const {
    std::lock_guard guard(lock_);
    return problems_;
}

bool TelemetryEndpoint::WaitForRecords(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] {
        size_t n = 0;
        for (const auto& batch : batches_) n += batch.records.size();
        return n >= count;
    });
}

}  // namespace testsupport
