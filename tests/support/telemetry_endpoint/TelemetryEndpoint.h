#pragma once
// A real analytics collection endpoint on 127.0.0.1 for the tests: it checks each request
// as the tracker must send it (POST, user agent, body "data_list=...&gzip=1"), decodes the
// body (percent-decoding, base64, gunzip, JSON) and keeps the records for assertions.
// It can answer 500, hold requests until released (a stalled service), serve TLS with a
// self-signed certificate, or be absent (UnusedUrl).
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace testsupport {

struct ReceivedBatch {
    std::string json;          // the decoded batch text, as sent
    Json::Value records;       // the parsed array
    std::string userAgent;
    std::string target;        // path and query
};

// Decodes a body of the form "data_list=<percent(base64(gzip(json)))>&gzip=1" into the JSON
// text; nullopt (with the reason in `problem`) when any step fails.
std::optional<std::string> DecodeBatchBody(const std::string& body, std::string* problem = nullptr);

class TelemetryEndpoint {
public:
    enum class Mode { Accept, Fail500, Stall };
    struct Options {
        bool tls = false;  // HTTPS with a self-signed certificate no client should trust
    };

    TelemetryEndpoint();
    explicit TelemetryEndpoint(Options options);
    ~TelemetryEndpoint();
    TelemetryEndpoint(const TelemetryEndpoint&) = delete;
    TelemetryEndpoint& operator=(const TelemetryEndpoint&) = delete;

    // "http://127.0.0.1:<port>/collect?project=pc" (https with tls).
    std::string Url() const;
    int Port() const { return port_; }
    // An address on 127.0.0.1 where nothing listens.
    static std::string UnusedUrl();

    void SetMode(Mode mode);
    // Lets every held request go on (answered 500) and stops holding new ones.
    void ReleaseStalled();
    // Waits until `count` requests are being held.
    bool WaitForStalled(size_t count, std::chrono::milliseconds timeout);

    std::vector<ReceivedBatch> Batches() const;  // accepted batches, in arrival order
    std::vector<Json::Value> Records() const;    // their records, flattened
    size_t Requests() const;                     // every request, refused ones included
    std::vector<std::string> Problems() const;   // protocol faults seen in requests
    bool WaitForRecords(size_t count, std::chrono::milliseconds timeout) const;

private:
    void Handle(const std::string& method, const std::string& target, const std::string& userAgent,
                const std::string& body, int& status);

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool tls_ = false;

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    Mode mode_ = Mode::Accept;
    bool releaseStalled_ = false;
    size_t stalled_ = 0;
    size_t requests_ = 0;
    std::vector<ReceivedBatch> batches_;
    std::vector<std::string> problems_;
};

}  // namespace testsupport
