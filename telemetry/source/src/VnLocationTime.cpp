#include "telemetry/source/src/VnLocationTime.h"

#include <curl/curl.h>
#include <json/json.h>
#include <openssl/evp.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "telemetry/source/src/Utf8Normalizer.h"

namespace varno::telemetry {
namespace {

constexpr char kPath[] = "/api/location_and_time";

struct Lookup {
    VnLocationTime::Options options;
    std::atomic<bool> running{false};
    std::atomic<bool> stop{false};
    std::mutex resultLock;
    LocationInfo result;

    bool Known() {
        std::lock_guard guard(resultLock);
        return result.known();
    }
};

std::mutex& InstanceLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<Lookup>& Instance() {
    static std::shared_ptr<Lookup> instance;
    return instance;
}

size_t CollectBody(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// One signed request; the body when the service answered 200.
std::optional<std::string> Request(CURL* curl, const VnLocationTime::Options& options) {
    const std::string time = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type:application/json");
    headers = curl_slist_append(headers, ("X-HM-Time:" + time).c_str());
    headers = curl_slist_append(headers, ("X-HM-Credential:" + VnLocationTime::credential(options.key, time)).c_str());
    const std::string url = "http://" + options.host + kPath;
    std::string body;
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 1000L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 2000L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    if (rc != CURLE_OK || status != 200) return std::nullopt;
    return NormalizeUtf8(body);
}

void Parse(Lookup& lookup, const std::string& body) {
    std::unique_lock guard(lookup.resultLock, std::try_to_lock);
    if (!guard || body.find("country") == std::string::npos) return;
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(body.data(), body.data() + body.size(), &root, nullptr) || !root.isObject()) return;
    auto take = [&](const char* name, std::string& into) {
        if (root[name].isString()) into = root[name].asString();
    };
    take("ip", lookup.result.ip);
    take("country", lookup.result.country);
    take("country_code", lookup.result.countryCode);
    take("province", lookup.result.province);
    take("city", lookup.result.city);
}

void Run(std::shared_ptr<Lookup> lookup) {
    CURL* curl = curl_easy_init();
    while (curl && !lookup->stop && !lookup->Known()) {
        if (const auto body = Request(curl, lookup->options)) Parse(*lookup, *body);
        if (lookup->Known()) break;
        for (auto waited = std::chrono::milliseconds(0); waited < lookup->options.retryPause && !lookup->stop;
             waited += lookup->options.pauseStep)
            std::this_thread::sleep_for(lookup->options.pauseStep);
    }
    if (curl) curl_easy_cleanup(curl);
    lookup->running = false;
}

}  // namespace

void VnLocationTime::start(const Options& options) {
    std::lock_guard guard(InstanceLock());
    auto& instance = Instance();
    if (!instance) {
        instance = std::make_shared<Lookup>();
        instance->options = options;
    } else if (instance->running || instance->Known()) {
        return;
    }
    instance->running = true;
    instance->stop = false;
    std::thread(Run, instance).detach();
}

bool VnLocationTime::query(LocationInfo& location) {
    std::shared_ptr<Lookup> lookup;
    {
        std::lock_guard guard(InstanceLock());
        lookup = Instance();
    }
    if (!lookup) return false;
    std::unique_lock guard(lookup->resultLock, std::try_to_lock);
    if (!guard || !lookup->result.known()) return false;
    location = lookup->result;
    return true;
}

void VnLocationTime::stop() {
    std::shared_ptr<Lookup> lookup;
    {
        std::lock_guard guard(InstanceLock());
        lookup = std::move(Instance());
    }
    if (!lookup) return;
    lookup->stop = true;
    while (lookup->running) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

std::string VnLocationTime::credential(const std::string& key, const std::string& time) {
    const std::string text = std::string(kPath) + "&&" + key + "&" + time;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0x0F];
    }
    return out;
}

}  // namespace varno::telemetry
