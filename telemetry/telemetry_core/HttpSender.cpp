#include "telemetry/telemetry_core/HttpSender.h"

namespace telemetry_core {
namespace {

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* user) {
    const std::string_view line(data, size * count);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos) {
        auto value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.remove_suffix(1);
        static_cast<HttpResponse*>(user)->headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return size * count;
}

}  // namespace

HttpSender::HttpSender(std::string url) : url_(std::move(url)) {}

HttpSender::~HttpSender() {
    if (curl_) curl_easy_cleanup(curl_);
    curl_slist_free_all(headers_);
}

HttpResponse HttpSender::Post(std::string_view body) {
    HttpResponse response;
    if (!curl_) curl_ = curl_easy_init();
    // Without this libcurl asks larger bodies for "100 Continue" first and waits up to a
    // second for services that never send it.
    if (!headers_) headers_ = curl_slist_append(nullptr, "Expect:");
    if (!curl_) {
        response.body = "curl_easy_init failed";
        return response;
    }
    CURL* c = curl_;
    curl_easy_reset(c);
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers_);
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, kSendTimeoutMs);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &response.body);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &response);

    const CURLcode rc = curl_easy_perform(c);
    if (rc != CURLE_OK) {
        response.status = -1;
        response.body = curl_easy_strerror(rc);
        return response;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.status);
    return response;
}

}  // namespace telemetry_core
