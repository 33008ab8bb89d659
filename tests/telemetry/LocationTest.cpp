#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <thread>

#include "telemetry/source/src/VnLocationTime.h"

using namespace varno::telemetry;
using namespace std::chrono_literals;

namespace {

constexpr char kKey[] = "0123456789abcdef";

// A location service on 127.0.0.1 that checks the signed headers and answers with `answers`
// in turn (the last one repeats).
class LocationService {
public:
    explicit LocationService(std::vector<std::string> answers) : answers_(std::move(answers)) {
        server_.Post("/api/location_and_time", [this](const httplib::Request& req, httplib::Response& res) {
            const std::string time = req.get_header_value("X-HM-Time");
            signedRight_ = req.get_header_value("X-HM-Credential") == VnLocationTime::credential(kKey, time) &&
                           req.get_header_value("Content-Type") == "application/json" && req.body.empty();
            const size_t n = requests_++;
            res.set_content(answers_[std::min(n, answers_.size() - 1)], "application/json");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(1ms);
    }
    ~LocationService() {
        server_.stop();
        thread_.join();
    }
    std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
    size_t Requests() const { return requests_; }
    bool SignedRight() const { return signedRight_; }

private:
    std::vector<std::string> answers_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<size_t> requests_{0};
    std::atomic<bool> signedRight_{false};
};

bool WaitForLocation(LocationInfo& info) {
    for (int i = 0; i < 300; ++i) {
        if (VnLocationTime::query(info)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(VnLocationTime, CredentialIsTheMd5OfPathKeyAndTime) {
    // md5("/api/location_and_time&&0123456789abcdef&1700000000")
    const std::string c = VnLocationTime::credential(kKey, "1700000000");
    EXPECT_EQ(c.size(), 32u);
    EXPECT_EQ(c.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(c, VnLocationTime::credential(kKey, "1700000001"));
}

TEST(VnLocationTime, RetriesUntilAnAnswerNamesACountryThenKeepsIt) {
    LocationService service({"{\"status\":\"busy\"}", "not json but country",
                             R"({"ip":"203.0.113.9","country":"中国","country_code":"CN","province":null,"city":"杭州"})"});
    VnLocationTime::start({service.Host(), kKey, 20ms, 5ms});
    LocationInfo info;
    ASSERT_TRUE(WaitForLocation(info));
    EXPECT_TRUE(service.SignedRight());
    EXPECT_EQ(service.Requests(), 3u);
    EXPECT_EQ(info.ip, "203.0.113.9");
    EXPECT_EQ(info.country, "中国");
    EXPECT_EQ(info.countryCode, "CN");
    EXPECT_EQ(info.province, "");
    EXPECT_EQ(info.city, "杭州");
    VnLocationTime::start({service.Host(), kKey, 20ms, 5ms});  // has its answer: no new request
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(service.Requests(), 3u);
    VnLocationTime::stop();
    EXPECT_FALSE(VnLocationTime::query(info));
}

TEST(VnLocationTime, StopEndsTheWaitBetweenAttempts) {
    LocationService service({"{}"});
    VnLocationTime::start({service.Host(), kKey, 5000ms, 100ms});
    while (service.Requests() == 0) std::this_thread::sleep_for(5ms);
    const auto begin = std::chrono::steady_clock::now();
    VnLocationTime::stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
    EXPECT_EQ(service.Requests(), 1u);
}

}  // namespace
