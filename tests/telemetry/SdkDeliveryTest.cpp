#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "support/telemetry_endpoint/TelemetryEndpoint.h"
#include "support/TempFolder.h"
#include "telemetry/telemetry_core/BatchEncoding.h"
#include "telemetry/telemetry_core/Sdk.h"
#include "telemetry/telemetry_core/SendStatus.h"

using telemetry_core::PropertiesNode;
using telemetry_core::Sdk;
using testsupport::TelemetryEndpoint;

namespace {

using namespace std::chrono_literals;

PropertiesNode Numbered(int n) {
    PropertiesNode p;
    p.SetInteger("n", n);
    return p;
}

std::vector<int> NumbersOf(const std::vector<Json::Value>& records) {
    std::vector<int> out;
    for (const auto& r : records) out.push_back(r["properties"]["n"].asInt());
    return out;
}

std::vector<int> Range(int first, int last) {
    std::vector<int> out;
    for (int i = first; i <= last; ++i) out.push_back(i);
    return out;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class SdkDelivery : public testing::Test {
protected:
    void SetUp() override { telemetry_core::SetLastSendSucceeded(false); }
    void TearDown() override { Sdk::Shutdown(); }
    void Start(const std::string& url) { ASSERT_TRUE(Sdk::Init(staging_, url, "device-1", false)); }
    void TrackNumbered(int first, int last) {
        for (int i = first; i <= last; ++i) Sdk::Track("VnEventTask", Numbered(i));
    }

    testsupport::TempFolder folder_;
    std::string staging_ = folder_ / "Mavrix_VNSQueue.txt";
    TelemetryEndpoint endpoint_;
};

TEST_F(SdkDelivery, RecordCarriesSuperPropertiesLibraryAndKeysInMapOrder) {
    Start(endpoint_.Url());
    PropertiesNode super;
    super.SetString("vn_app_id", "Mavrix");
    Sdk::RegisterSuperProperties(super);
    PropertiesNode p;
    p.SetString("vn_name", "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85");  // 立即安装
    Sdk::Track("VnEventClick", p);
    ASSERT_TRUE(Sdk::Flush());
    EXPECT_TRUE(telemetry_core::LastSendSucceeded());

    const auto batches = endpoint_.Batches();
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_TRUE(endpoint_.Problems().empty());
    EXPECT_EQ(batches[0].userAgent, "VarnoTelemetry CPP SDK 0.9");
    EXPECT_EQ(batches[0].target, "/collect?project=pc");
    const Json::Value& r = batches[0].records[0];
    EXPECT_EQ(r["type"], "track");
    EXPECT_EQ(r["event"], "VnEventClick");
    EXPECT_EQ(r["distinct_id"], "device-1");
    EXPECT_EQ(r["lib"]["$lib"], "cpp");
    EXPECT_EQ(r["lib"]["$lib_version"], "0.9");
    EXPECT_EQ(r["lib"]["$lib_method"], "code");
    EXPECT_EQ(r["properties"]["$lib"], "cpp");
    EXPECT_EQ(r["properties"]["$lib_version"], "0.9");
    EXPECT_EQ(r["properties"]["vn_app_id"], "Mavrix");
    EXPECT_EQ(r["properties"]["vn_name"], "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85");
    EXPECT_FALSE(r["properties"].isMember("$is_login_id"));
    ASSERT_TRUE(r["_track_id"].isIntegral());
    EXPECT_LE(r["_track_id"].asInt64(), 999999999);
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(static_cast<double>(r["time"].asInt64()), static_cast<double>(now), 60000.0);

    const std::string& json = batches[0].json;
    size_t last = 0;
    for (const char* key : {"\"_track_id\":", "\"distinct_id\":", "\"event\":", "\"lib\":{", "\"properties\":{",
                            "\"time\":", "\"type\":\"track\"}]"}) {
        const size_t at = json.find(key);
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }
}

TEST_F(SdkDelivery, FlushSendsBatchesOfThirtyInOrder) {
    Start(endpoint_.Url());
    TrackNumbered(0, 64);
    ASSERT_TRUE(Sdk::Flush());
    std::vector<size_t> sizes;
    for (const auto& b : endpoint_.Batches()) sizes.push_back(b.records.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{30, 30, 5}));
    EXPECT_EQ(NumbersOf(endpoint_.Records()), Range(0, 64));
    EXPECT_EQ(Sdk::QueuedRecords(), 0u);
}

TEST_F(SdkDelivery, FullQueueKeepsTheNewest1024) {
    Start(endpoint_.Url());
    TrackNumbered(0, 1029);
    EXPECT_EQ(Sdk::QueuedRecords(), 1024u);
    ASSERT_TRUE(Sdk::Flush());
    EXPECT_EQ(NumbersOf(endpoint_.Records()), Range(6, 1029));
}

TEST_F(SdkDelivery, FailedBatchGoesBackInFrontAndIsSentLater) {
    Start(endpoint_.Url());
    endpoint_.SetMode(TelemetryEndpoint::Mode::Fail500);
    TrackNumbered(0, 39);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Sdk::Flush());
    const std::string complaints = testing::internal::GetCapturedStderr();
    EXPECT_NE(complaints.find("Telemetry SDK send failed: refused"), std::string::npos) << complaints;
    EXPECT_FALSE(telemetry_core::LastSendSucceeded());
    EXPECT_EQ(endpoint_.Requests(), 1u);  // stops at the first failed batch
    EXPECT_EQ(Sdk::QueuedRecords(), 40u);

    endpoint_.SetMode(TelemetryEndpoint::Mode::Accept);
    ASSERT_TRUE(Sdk::Flush());
    EXPECT_EQ(NumbersOf(endpoint_.Records()), Range(0, 39));
}

TEST_F(SdkDelivery, FailedBatchReturnsOnlyItsNewestRecordsThatFit) {
    Start(endpoint_.Url());
    endpoint_.SetMode(TelemetryEndpoint::Mode::Stall);
    TrackNumbered(0, 29);
    bool flushed = true;
    std::thread flusher([&] { flushed = Sdk::Flush(); });
    ASSERT_TRUE(endpoint_.WaitForStalled(1, 2s));
    TrackNumbered(30, 1039);  // 1010 newer records arrive while the batch is on the wire
    endpoint_.ReleaseStalled();
    flusher.join();
    EXPECT_FALSE(flushed);
    EXPECT_EQ(Sdk::QueuedRecords(), 1024u);

    endpoint_.SetMode(TelemetryEndpoint::Mode::Accept);
    ASSERT_TRUE(Sdk::Flush());
    EXPECT_EQ(NumbersOf(endpoint_.Records()), Range(16, 1039));
}

TEST_F(SdkDelivery, TimeAndProjectPropertiesMoveIntoTheRecord) {
    Start(endpoint_.Url());
    PropertiesNode p;
    p.SetDateTime("$time", telemetry_core::utils::DateTime{1700000000, 250});
    p.SetString("$project", "pc");
    p.SetInteger("n", 1);
    Sdk::Track("VnEventTask", p);

    PropertiesNode wrongTime;
    wrongTime.SetInteger("$time", 5);
    PropertiesNode wrongProject;
    wrongProject.SetInteger("$project", 5);
    testing::internal::CaptureStderr();
    Sdk::Track("VnEventTask", wrongTime);
    Sdk::Track("VnEventTask", wrongProject);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "The property '$time' should be DateTime type.\nThe property '$project' should be String type.\n");
    EXPECT_EQ(Sdk::QueuedRecords(), 1u);

    ASSERT_TRUE(Sdk::Flush());
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["time"].asInt64(), 1700000000250);
    EXPECT_EQ(records[0]["project"], "pc");
    EXPECT_FALSE(records[0]["properties"].isMember("$time"));
    EXPECT_FALSE(records[0]["properties"].isMember("$project"));
}

TEST_F(SdkDelivery, InvalidNamesRejectTheWholeRecord) {
    Start(endpoint_.Url());
    for (const std::string& key : std::vector<std::string>{"1abc", "a-b", std::string(101, 'k')}) {
        PropertiesNode p;
        p.SetInteger("good", 1);
        p.SetInteger(key, 1);
        testing::internal::CaptureStderr();
        Sdk::Track("VnEventTask", p);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("Property Key"), std::string::npos) << key;
    }
    testing::internal::CaptureStderr();
    Sdk::Track("Vn Event", PropertiesNode{});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "The Event Name need to be a valid variable name.\n");
    EXPECT_EQ(Sdk::QueuedRecords(), 0u);
}

TEST_F(SdkDelivery, OversizedValueIsLeftOutAndTheRecordStillSent) {
    Start(endpoint_.Url());
    PropertiesNode p;
    testing::internal::CaptureStderr();
    p.SetString("vn_reason", std::string(8193, 'x'));
    testing::internal::GetCapturedStderr();
    p.SetString("vn_task_name", "t");
    Sdk::Track("VnEventTask", p);
    ASSERT_TRUE(Sdk::Flush());
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_FALSE(records[0]["properties"].isMember("vn_reason"));
    EXPECT_EQ(records[0]["properties"]["vn_task_name"], "t");
}

TEST_F(SdkDelivery, LoginSignsUpThenSendsUnderTheLoginIdAndProfilesSkipSuperProperties) {
    Start(endpoint_.Url());
    Sdk::Login("user-9");
    Sdk::Track("VnEventTask", Numbered(1));
    PropertiesNode profile;
    profile.SetString("vn_os", "Linux");
    Sdk::ProfileSet(profile);
    Sdk::ProfileAppend("vn_label", "a");
    ASSERT_TRUE(Sdk::Flush());
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0]["type"], "track_signup");
    EXPECT_EQ(records[0]["event"], "$SignUp");
    EXPECT_EQ(records[0]["original_id"], "device-1");
    EXPECT_EQ(records[0]["distinct_id"], "user-9");
    EXPECT_EQ(records[1]["distinct_id"], "user-9");
    EXPECT_EQ(records[1]["properties"]["$is_login_id"], true);
    EXPECT_EQ(records[2]["type"], "profile_set");
    EXPECT_FALSE(records[2].isMember("event"));
    EXPECT_FALSE(records[2]["properties"].isMember("$lib"));
    EXPECT_EQ(records[2]["properties"]["vn_os"], "Linux");
    EXPECT_EQ(records[3]["type"], "profile_append");
    ASSERT_TRUE(records[3]["properties"]["vn_label"].isArray());
    EXPECT_EQ(records[3]["properties"]["vn_label"][0], "a");
    EXPECT_EQ(Sdk::DistinctId(), "user-9");
    EXPECT_TRUE(Sdk::IsLoginId());
}

TEST_F(SdkDelivery, UnsentRecordsAreStagedAndSentFirstByTheNextRun) {
    Start(TelemetryEndpoint::UnusedUrl());
    TrackNumbered(0, 2);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Sdk::Flush());
    testing::internal::GetCapturedStderr();
    Sdk::Shutdown();
    ASSERT_EQ(Lines(staging_).size(), 3u);

    Start(endpoint_.Url());
    TrackNumbered(3, 4);
    ASSERT_TRUE(Sdk::Flush());
    EXPECT_EQ(NumbersOf(endpoint_.Records()), Range(0, 4));
    Sdk::Shutdown();
    EXPECT_TRUE(Lines(staging_).empty());
}

TEST_F(SdkDelivery, StagingKeepsOnlyWhatFitsBesideTheNewRun) {
    {
        std::ofstream out(staging_);
        for (int i = 0; i < 1020; ++i) out << Numbered(i).ToJson().insert(0, "{\"properties\":").append("}\n");
        out << "not a record\n";
    }
    Start(endpoint_.Url());
    TrackNumbered(2000, 2009);
    ASSERT_TRUE(Sdk::Flush());
    std::vector<int> expected = Range(6, 1019);  // the oldest staged records make room
    for (int i = 2000; i <= 2009; ++i) expected.push_back(i);
    EXPECT_EQ(NumbersOf(endpoint_.Records()), expected);
}

TEST_F(SdkDelivery, ServerCertificateIsVerified) {
    TelemetryEndpoint tls(TelemetryEndpoint::Options{.tls = true});
    Start(tls.Url());
    Sdk::Track("VnEventTask", Numbered(1));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Sdk::Flush());
    const std::string complaints = testing::internal::GetCapturedStderr();
    EXPECT_NE(complaints.find("Telemetry SDK send failed: SSL peer certificate"), std::string::npos) << complaints;
    EXPECT_TRUE(tls.Batches().empty());
    EXPECT_EQ(Sdk::QueuedRecords(), 1u);
}

TEST_F(SdkDelivery, InitRefusesABadIdAndKeepsTheFirstRecorder) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Sdk::Init(staging_, endpoint_.Url(), "", false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "The Distinct ID is empty.\n");
    EXPECT_FALSE(Sdk::IsInitialized());
    Sdk::Track("VnEventTask", Numbered(1));  // nothing happens before Init
    Start(endpoint_.Url());
    EXPECT_TRUE(Sdk::Init(staging_, TelemetryEndpoint::UnusedUrl(), "other", true));
    EXPECT_EQ(Sdk::DistinctId(), "device-1");
    EXPECT_EQ(Sdk::QueuedRecords(), 0u);
}

TEST(BatchEncoding, BodyDecodesBackToTheBatch) {
    const std::string json = R"([{"a":"\u4e2d +/=&%"},{"b":1}])";
    const auto body = telemetry_core::EncodeBatchBody(json);
    ASSERT_TRUE(body);
    std::string problem;
    EXPECT_EQ(testsupport::DecodeBatchBody(*body, &problem), json) << problem;
    EXPECT_EQ(body->find_first_of("+/="), body->find("=") /* only the field's own "=" signs */);
}

TEST(BatchEncoding, PiecesFollowTheirStandards) {
    EXPECT_EQ(telemetry_core::Base64Encode(""), "");
    EXPECT_EQ(telemetry_core::Base64Encode("f"), "Zg==");
    EXPECT_EQ(telemetry_core::Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(telemetry_core::Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(telemetry_core::Base64Encode("\xFB\xFF"), "+/8=");
    EXPECT_EQ(telemetry_core::PercentEncode("aZ09-._~+/= \xE4"), "aZ09-._~%2B%2F%3D%20%E4");
    const auto gz = telemetry_core::GzipCompress("hello");
    ASSERT_TRUE(gz);
    ASSERT_GE(gz->size(), 10u);
    EXPECT_EQ(static_cast<unsigned char>((*gz)[0]), 0x1F);
    EXPECT_EQ(static_cast<unsigned char>((*gz)[1]), 0x8B);
    EXPECT_EQ(static_cast<unsigned char>((*gz)[8]), 2);  // extra flags: best compression
}

}  // namespace
