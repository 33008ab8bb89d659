#pragma once
// Posts one form body to the collection endpoint over libcurl and collects the answer.
// Certificates and host names are verified: device identifiers travel in these requests.
// Not thread-safe; the event queue serialises its sends.
#include <curl/curl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telemetry_core {

struct HttpResponse {
    long status = -1;  // -1: the transfer failed, `body` holds libcurl's error text
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

inline constexpr char kUserAgent[] = "VarnoTelemetry CPP SDK 0.9";
inline constexpr long kSendTimeoutMs = 3000;

class HttpSender {
public:
    explicit HttpSender(std::string url);
    ~HttpSender();
    HttpSender(const HttpSender&) = delete;
    HttpSender& operator=(const HttpSender&) = delete;

    HttpResponse Post(std::string_view body);

private:
    std::string url_;
    CURL* curl_ = nullptr;  // kept between posts so the connection is reused
    curl_slist* headers_ = nullptr;
};

}  // namespace telemetry_core
