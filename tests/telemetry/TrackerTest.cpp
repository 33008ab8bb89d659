#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "telemetry/TrackerFixture.h"
#include "telemetry/source/src/NativeUserTracker.h"
#include "telemetry/source/src/ProfileIni.h"
#include "telemetry/source/src/VnException.h"
#include "telemetry/telemetry_core/Sdk.h"

using namespace varno::telemetry;
using testsupport::TelemetryEndpoint;

namespace {

using namespace std::chrono_literals;

VnEventTask Task(std::string name, std::string reason = "", std::optional<float> elapsed = {},
                 std::optional<VnResult> result = {}) {
    VnEventTask task;
    task.name = std::move(name);
    task.reason = std::move(reason);
    task.elapsed = elapsed;
    task.result = result;
    return task;
}

std::string Base(const std::string& file, const char* key) { return ReadProfileString(file, "Base", key).value_or(""); }

std::string Rejection(const std::function<void()>& f) {
    try {
        f();
    } catch (const VnException& e) {
        return std::string(e.function()) + ": " + e.what();
    }
    return "";
}

std::vector<Json::Value> Events(const std::vector<Json::Value>& records, const std::string& name) {
    std::vector<Json::Value> out;
    for (const auto& r : records)
        if (r["event"] == name) out.push_back(r);
    return out;
}

using TrackerTest = testsupport::TrackerFixture;

TEST_F(TrackerTest, ClickCarriesItsPropertiesTheContextAndTheSuperProperties) {
    {
        auto tracker = Start(endpoint_.Url());
        VnContextProperties context;
        context.setProperty("IN", {VnEventType::Click});
        VnEventClick click;
        click.name = "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85";  // 立即安装
        click.tabIndex = 2;
        tracker->trackClick(click, context);
        VnEventView view;
        view.name = "v";
        tracker->trackView(view, context);
        EXPECT_EQ(endpoint_.Requests(), 0u);  // deferred: sent when the tracker closes
    }
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 2u);
    const Json::Value& p = records[0]["properties"];
    EXPECT_EQ(records[0]["event"], "VnEventClick");
    EXPECT_EQ(p["vn_name"], "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85");
    EXPECT_EQ(p["vn_click_type"], "Button");
    EXPECT_EQ(p["vn_tab_index"], 2);
    EXPECT_FALSE(p.isMember("vn_title"));
    EXPECT_EQ(p["$is_first_time"], true);
    EXPECT_EQ(p["vnc_ab"], "IN");
    EXPECT_FALSE(records[1]["properties"].isMember("vnc_ab"));
    const std::pair<const char*, Json::Value> super[] = {
        {"vn_app_id", "Mavrix.downloader"}, {"$app_id", "Mavrix.downloader"}, {"$app_version", "1.7.9"},
        {"vn_app_store", "MavrixSetup.exe"}, {"vn_edition", "china"},        {"vn_dlapp_id", "Mavrix"},
        {"vn_app_platform", "Linux"},        {"vn_track_type", "Client"},    {"vn_sdk_version", "3.3.8"},
        {"vn_sdk", "WindowsCPP"},            {"$os", "Linux"},
        {"$os_version", "Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64"},
        {"vn_l10n_locale", "zh_CN"},         {"vn_l10n_language", "zh"},     {"vn_l10n_country", "CN"},
        {"$screen_height", 0},               {"$screen_width", 0},           {"$lib", "cpp"}};
    for (const auto& [key, value] : super) EXPECT_EQ(p[key], value) << key;
    EXPECT_FALSE(p.isMember("vn_dlapp_version"));
    EXPECT_FALSE(p.isMember("vn_user_id"));
    EXPECT_EQ(records[0]["distinct_id"], Base(IdentityFile(), "DistinctId"));
}

TEST_F(TrackerTest, EveryRejectionHasItsMessageAndRecordsNothing) {
    auto tracker = Start(endpoint_.Url());
    const VnContextProperties c;
    VnEventOrder order;
    order.vnSuitId = "s";
    order.vnCurrency = VnCurrency::CNY;
    order.paidAmount = 1;
    VnEventPayment payment;
    payment.vnOrderId = "o";
    payment.currency = VnCurrency::CNY;
    payment.paidPlatform = VnPaidPlatform::Alipay;
    payment.result = VnResult::Success;
    AppOpenNotification note;
    note.planId = "p";
    note.planType = "t";
    note.msgTitle = "m";
    struct Case {
        std::function<void()> call;
        std::string message;
    };
    const Case cases[] = {
        {[&] { tracker->trackClick({}, c); }, "trackClick: vnEventClick.name is empty"},
        {[&] { VnEventClick e; e.name = "x"; e.clickType = static_cast<ClickType>(5); tracker->trackClick(e, c); },
         "toString: Unknown ClickType [5]!"},
        {[&] { tracker->trackView({}, c); }, "trackView: vnEventView.name is empty"},
        {[&] { tracker->trackCashier({}, c); }, "trackCashier: vnEventCashier.vn_cashier_name is empty"},
        {[&] { tracker->trackTask({}, c); }, "trackTask: vnEventTask.name is empty"},
        {[&] { tracker->trackFile({}, c); }, "trackFile: vnEventFile.aname is empty"},
        {[&] { auto o = order; o.vnSuitId.clear(); tracker->trackOrder(o, c); },
         "trackOrder: vnEventOrder.vnSuitId is empty"},
        {[&] { auto o = order; o.vnCurrency.reset(); tracker->trackOrder(o, c); },
         "trackOrder: vnEventOrder.vnCurrency is nullptr"},
        {[&] { tracker->trackOrder(order, c); }, "trackOrder: vnEventOrder.originalAmount is less than zero"},
        {[&] { auto p = payment; p.vnOrderId.clear(); tracker->trackPayment(p, c); },
         "trackPayment: vnEventPayment.vnOrderId is empty"},
        {[&] { auto p = payment; p.paidAmount = -1; tracker->trackPayment(p, c); },
         "trackPayment: paidAmount = -1.000000 is invalid"},
        {[&] { auto p = payment; p.originalAmount = -2; tracker->trackPayment(p, c); },
         "trackPayment: originalAmount = -2.000000 is invalid"},
        {[&] { auto p = payment; p.result = VnResult::Cancelled; tracker->trackPayment(p, c); },
         "trackPayment: vnEventPayment.result is invalid"},
        {[&] { VnEventUpdate u; u.op = VnUpdateOp::DownloadEnd; tracker->trackUpdate(u, c); },
         "trackUpdate: Unknown updateResultInfo info"},
        {[&] { VnEventUpdate u; u.op = VnUpdateOp::UpgrateEnd; u.result = VnUpdateResult::Fail; tracker->trackUpdate(u, c); },
         "trackUpdate: invalid elapsed info"},
        {[&] { tracker->trackAppOpenNotification(nullptr, c); }, "trackAppOpenNotification: &appOpenNotification is nullptr"},
        {[&] { auto n = note; n.planId.clear(); tracker->trackAppOpenNotification(&n, c); },
         "trackAppOpenNotification: planID is emptry"},
        {[&] { auto n = note; n.planType.clear(); tracker->trackAppOpenNotification(&n, c); },
         "trackAppOpenNotification: planType is emptry"},
        {[&] { auto n = note; n.msgTitle.clear(); tracker->trackAppOpenNotification(&n, c); },
         "trackAppOpenNotification: msgTitle is emptry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(Rejection(c.call), c.message);
    }
    EXPECT_EQ(telemetry_core::Sdk::QueuedRecords(), 0u);
}

TEST_F(TrackerTest, InitRejectsMissingApplicationFieldsInOrder) {
    struct Case {
        std::function<void(TrackerConfig&)> change;
        std::string message;
    };
    const Case cases[] = {
        {[](TrackerConfig& c) { c.appName.clear(); c.appStore.clear(); }, "init: appName is empty"},
        {[](TrackerConfig& c) { c.appVersion.clear(); }, "init: appVersion is empty"},
        {[](TrackerConfig& c) { c.appStore.clear(); }, "init: appStore is empty"},
        {[](TrackerConfig& c) { c.edition = static_cast<VnEdition>(3); }, "toString: Unknown edition [3]!"},
    };
    for (const auto& c : cases) {
        auto config = Config(endpoint_.Url());
        c.change(config);
        TelemetryTrackerImpl tracker(config, Environment());
        EXPECT_EQ(Rejection([&] { tracker.init(); }), c.message);
        EXPECT_EQ(tracker.getLogger(), nullptr);
        tracker.trackTask(Task("t"), VnContextProperties{});  // records nothing
    }
    EXPECT_FALSE(telemetry_core::Sdk::IsInitialized());
    EXPECT_EQ(endpoint_.Requests(), 0u);
}

TEST_F(TrackerTest, TaskFileShareAndUpdateFieldRules) {
    {
        auto tracker = Start(endpoint_.Url());
        const VnContextProperties c;
        tracker->trackTask(Task("a", "", 2.5f, VnResult::Unknown), c);
        tracker->trackTask(Task("b", "r", {}, VnResult::Fail), c);
        VnEventFile file;
        file.aname = "x";
        file.io = VnIoType::Output;
        file.size = 0;
        tracker->trackFile(file, c);
        VnEventShare share;
        share.result = VnResult::Unknown;
        tracker->trackShare(share, c);
        tracker->trackUpdate(VnEventUpdate{}, c);  // UpdateCheck without a result
    }
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_FALSE(records[0]["properties"].isMember("vn_task_result"));
    EXPECT_EQ(records[0]["properties"]["vn_task_elapsed"], 2.5);
    EXPECT_EQ(records[1]["properties"]["vn_task_result"], "Fail");
    EXPECT_EQ(records[1]["properties"]["vn_reason"], "r");
    EXPECT_EQ(records[2]["properties"]["vn_aname"], "x");
    EXPECT_EQ(records[2]["properties"]["vn_io"], "Output");
    EXPECT_FALSE(records[2]["properties"].isMember("vn_size"));
    EXPECT_EQ(records[3]["properties"]["vn_result"], "Unknown");
    EXPECT_EQ(records[4]["event"], "VnEventUpdate");
    EXPECT_EQ(records[4]["properties"]["vn_update_result"], "");
    EXPECT_FALSE(records[4]["properties"].isMember("$is_first_time"));
}

TEST_F(TrackerTest, PaymentUpdatesTheProfileAndIsSentAtOnce) {
    auto tracker = Start(endpoint_.Url());
    telemetry_core::SetLastSendSucceeded(true);  // urgent delivery on this thread
    VnEventPayment payment;
    payment.vnOrderId = "o-1";
    payment.currency = VnCurrency::USD;
    payment.paidPlatform = VnPaidPlatform::PayPal;
    payment.result = VnResult::Success;
    payment.paidAmount = 12.5f;
    tracker->trackPayment(payment, VnContextProperties{});
    const auto records = endpoint_.Records();  // already there: no waiting
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0]["event"], "VnEventPayment");
    EXPECT_EQ(records[0]["properties"]["vn_paid_amount"], 12.5);
    EXPECT_EQ(records[0]["properties"]["vn_original_amount"].asDouble(), 0.0);
    std::vector<Json::Value> increments;
    for (const auto& r : records)
        if (r["type"] == "profile_increment") increments.push_back(r["properties"]);
    ASSERT_EQ(increments.size(), 2u);
    EXPECT_EQ(increments[0]["vn_paid_count"], 1);
    EXPECT_EQ(increments[1]["vn_consumption"], 12.5);
    EXPECT_EQ(increments[1].size(), 1u);
    EXPECT_EQ(Base(IdentityFile(), "UserVipLevel"), "1");
}

TEST_F(TrackerTest, UrgentRequestsGoToAThreadUntilASendHasSucceeded) {
    auto tracker = Start(endpoint_.Url());
    tracker->trackTask(Task("t"), VnContextProperties{});  // marks records pending
    testing::internal::CaptureStderr();
    tracker->trackCrash("boom");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[Telemetry] Sending messages asynchronously\n");
    ASSERT_TRUE(endpoint_.WaitForRecords(2, 5s));
    for (int i = 0; i < 500 && !telemetry_core::LastSendSucceeded(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(telemetry_core::LastSendSucceeded());

    tracker->trackTask(Task("u"), VnContextProperties{});
    testing::internal::CaptureStderr();
    tracker->trackUninstall("why", VnContextProperties{});
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    const auto records = endpoint_.Records();  // sent on this thread before trackUninstall returned
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1]["event"], "AppCrashed");
    EXPECT_EQ(records[1]["properties"]["app_crashed_reason"], "boom");
    EXPECT_EQ(records[3]["properties"]["vn_uninstall_reason"], "why");
}

TEST_F(TrackerTest, LoginWithoutUserKeepsTheIdentityAndWithUserSignsUp) {
    {
        auto tracker = Start(endpoint_.Url());
        VnEventLogin anonymous;
        tracker->trackLogin(anonymous, false, "no account", VnContextProperties{});
        const std::string device = Base(IdentityFile(), "DistinctId");
        VnEventLogin login;
        login.userId = "u-42";
        login.userType = VnUserType::Email;
        login.vipLevel = 3;
        tracker->trackLogin(login, true, "", VnContextProperties{});
        EXPECT_EQ(Base(IdentityFile(), "UserId"), "u-42");
        EXPECT_EQ(Base(IdentityFile(), "DistinctId"), "u-42");
        EXPECT_EQ(Base(IdentityFile(), "PrimaryDistinctId"), device);
        EXPECT_EQ(Base(IdentityFile(), "isLogined"), "OK");
        EXPECT_EQ(Base(IdentityFile(), "UserVipLevel"), "3");
        EXPECT_EQ(tracker->getPrimaryDistinctId(), device);
    }
    ASSERT_TRUE(endpoint_.WaitForRecords(3, 5s));
    const auto records = endpoint_.Records();
    const auto logins = Events(records, "VnEventLogin");
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_FALSE(logins[0]["properties"].isMember("$is_first_time"));
    EXPECT_FALSE(logins[0]["properties"].isMember("vn_user_id"));
    EXPECT_EQ(logins[0]["properties"]["vn_result"], "Fail");
    EXPECT_EQ(logins[0]["properties"]["vn_reason"], "no account");
    EXPECT_EQ(logins[1]["properties"]["vn_login_id"], "u-42");
    EXPECT_EQ(logins[1]["properties"]["vn_type"], "email");
    EXPECT_EQ(logins[1]["properties"]["$is_first_time"], true);
    const auto signups = Events(records, "$SignUp");
    ASSERT_EQ(signups.size(), 1u);
    EXPECT_EQ(signups[0]["distinct_id"], "u-42");
}

TEST_F(TrackerTest, IdentityFileAcrossFirstRunSameUrlAndChangedUrl) {
    // Run 1: no file. A first id is made and saved, then replaced by the primary id made
    // for the server.
    Start(endpoint_.Url()).reset();
    const std::string first = Base(IdentityFile(), "DistinctId");
    EXPECT_EQ(first, "00000000-0000-0000-0000-000000000002");
    EXPECT_EQ(Base(IdentityFile(), "PrimaryDistinctId"), first);
    EXPECT_EQ(Base(IdentityFile(), "isLogined"), "NG");
    EXPECT_EQ(Base(IdentityFile(), "URL"), endpoint_.Url());
    EXPECT_EQ(ReadProfileString(IdentityFile(), "UninstallInfo", "AppStore"), "MavrixSetup.exe");

    // Run 2, same URL, after a login: ids and login kept.
    {
        auto tracker = Start(endpoint_.Url());
        VnEventLogin login;
        login.userId = "u-1";
        tracker->trackLogin(login, true, "", VnContextProperties{});
    }
    {
        auto tracker = Start(endpoint_.Url());
        EXPECT_EQ(Base(IdentityFile(), "isLogined"), "OK");
        EXPECT_EQ(Base(IdentityFile(), "DistinctId"), "u-1");
        EXPECT_EQ(tracker->getPrimaryDistinctId(), first);
        EXPECT_EQ(telemetry_core::Sdk::DistinctId(), "u-1");
        EXPECT_TRUE(telemetry_core::Sdk::IsLoginId());
    }
    // Run 3, another URL: the login is forgotten and the primary id comes back.
    TelemetryEndpoint other;
    {
        auto tracker = Start(other.Url());
        EXPECT_EQ(Base(IdentityFile(), "DistinctId"), first);
        EXPECT_EQ(Base(IdentityFile(), "UserId"), "");
        EXPECT_EQ(Base(IdentityFile(), "isLogined"), "NG");
        EXPECT_EQ(Base(IdentityFile(), "URL"), other.Url());
        EXPECT_EQ(telemetry_core::Sdk::DistinctId(), first);
        EXPECT_FALSE(telemetry_core::Sdk::IsLoginId());
    }
    EXPECT_EQ(ids_, 2);
}

TEST_F(TrackerTest, OnlyAnUpperCaseOkReadsAsLoggedIn) {
    Start(endpoint_.Url()).reset();
    WriteProfileString(IdentityFile(), "Base", "UserId", "u-7");
    WriteProfileString(IdentityFile(), "Base", "isLogined", "ok");
    {
        auto tracker = Start(endpoint_.Url());
        EXPECT_FALSE(telemetry_core::Sdk::IsLoginId());
        EXPECT_NE(telemetry_core::Sdk::DistinctId(), "u-7");
    }
    WriteProfileString(IdentityFile(), "Base", "isLogined", "OK");
    auto tracker = Start(endpoint_.Url());
    EXPECT_TRUE(telemetry_core::Sdk::IsLoginId());
    EXPECT_EQ(telemetry_core::Sdk::DistinctId(), "u-7");
}

TEST_F(TrackerTest, SetIniBesideTheExecutableNamesTheIdentityFile) {
    std::filesystem::create_directories(folder_ / "bin");
    const std::string named = folder_ / "records/VarnoData/Mavrix/VNTelemetry.ini";
    WriteProfileString(folder_ / "bin/Set.ini", "Install", "VNTelemetryIni", named);
    auto tracker = Start(endpoint_.Url());
    EXPECT_EQ(tracker->identityFile(), named);
    EXPECT_EQ(tracker->dataFolder(), folder_ / "records/VarnoData/Mavrix/");
    EXPECT_FALSE(Base(named, "DistinctId").empty());
    EXPECT_TRUE(std::filesystem::exists(tracker->dataFolder() + "Mavrix.downloader_VNSLog.txt"));
}

TEST_F(TrackerTest, UnsentRecordsAreStagedInTheDataFolderAndSentByTheNextRun) {
    {
        auto tracker = Start(TelemetryEndpoint::UnusedUrl());
        tracker->trackTask(Task("early"), VnContextProperties{});
        testing::internal::CaptureStderr();
    }
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::filesystem::exists(DataFolder() + "Mavrix.downloader_VNSQueue.txt"));
    EXPECT_TRUE(endpoint_.Records().empty());
    // The next run posts to the live endpoint (the URL change gives it a fresh identity).
    {
        auto tracker = Start(endpoint_.Url());
        tracker->trackTask(Task("late"), VnContextProperties{});
    }
    const auto tasks = Events(endpoint_.Records(), "VnEventTask");
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0]["properties"]["vn_task_name"], "early");
    EXPECT_EQ(tasks[1]["properties"]["vn_task_name"], "late");
}

TEST_F(TrackerTest, SetLocaleReplacesTheLocaleProperties) {
    {
        auto tracker = Start(endpoint_.Url());
        tracker->setLocale("en_US");
        tracker->trackTask(Task("a"), VnContextProperties{});
        tracker->setLocale("bad");
        tracker->trackTask(Task("b"), VnContextProperties{});
    }
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["properties"]["vn_l10n_locale"], "en_US");
    EXPECT_EQ(records[0]["properties"]["vn_l10n_country"], "US");
    EXPECT_EQ(records[1]["properties"]["vn_l10n_locale"], "zh_CN");
}

TEST_F(TrackerTest, ActivityAndLaunchWithTheirProfiles) {
    {
        auto tracker = Start(endpoint_.Url());
        tracker->trackLaunch(VnContextProperties{});
        tracker->trackActivity(VnContextProperties{});
    }
    ASSERT_TRUE(endpoint_.WaitForRecords(3, 5s));
    const auto records = endpoint_.Records();
    const auto launch = Events(records, "VnEventLaunch");
    ASSERT_EQ(launch.size(), 1u);
    EXPECT_FALSE(launch[0]["properties"].isMember("$is_first_time"));
    const auto activity = Events(records, "VnEventActivity");
    ASSERT_EQ(activity.size(), 1u);
    EXPECT_EQ(activity[0]["properties"]["$ios_install_source"], "android_id=123##imei=1234##mac=123");
    EXPECT_EQ(activity[0]["properties"]["$user_agent"],
              "Mozilla/5.0(Linux Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64; Win64;)");
    std::map<std::string, std::string> profile;  // key -> record type
    for (const auto& r : records)
        if (r["type"].asString().rfind("profile_", 0) == 0)
            for (const auto& key : r["properties"].getMemberNames()) profile[key] = r["type"].asString();
    EXPECT_EQ(profile["$first_visit_time"], "profile_set_once");  // the launch had no user: only the activity's
    EXPECT_EQ(profile["vn_last_visit_date"], "profile_set");
    EXPECT_EQ(profile["vn_os"], "profile_set");
    EXPECT_EQ(profile["vn_app_platform"], "profile_set");
    size_t profiles = 0;
    for (const auto& r : records) profiles += r["type"].asString().rfind("profile_", 0) == 0;
    EXPECT_EQ(profiles, 10u);
}

TEST_F(TrackerTest, ProfileWritesFollowThePropertyTable) {
    auto tracker = Start(endpoint_.Url());
    EXPECT_EQ(Rejection([] { NativeUserTracker::ProfileUserPropertyString("vn_visit_count", "x"); }),
              "ProfileUserPropertyString: user property [vn_visit_count] is string type value, it cannot be "
              "accumulated!");
    EXPECT_EQ(Rejection([] { NativeUserTracker::ProfileUserPropertyDateTime("vn_paid_count", 1); }),
              "ProfileUserPropertyDateTime: user property [vn_paid_count] is boolean value, it cannot be "
              "accumulative!");
    EXPECT_EQ(Rejection([] { NativeUserTracker::ProfileUserPropertyNumber("nope", 1); }),
              "ProfileUserPropertyNumber: Not supported user property [nope]!");
    try {
        NativeUserTracker::ProfileUserPropertyString("nope", "");
    } catch (const VnException& e) {
        EXPECT_EQ(e.unit(), "NativeUserTracker");
    }
    NativeUserTracker::ProfileUserPropertyDateTime("vn_last_visit_date", 1700000000);
    NativeUserTracker::ProfileUserPropertyDateTime("vn_last_visit_date", 1700000000000);
    NativeUserTracker::ProfileUserPropertyString("vn_label", "");
    ASSERT_TRUE(telemetry_core::Sdk::Flush());
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0]["properties"]["vn_last_visit_date"], records[1]["properties"]["vn_last_visit_date"]);
    EXPECT_EQ(records[2]["properties"]["vn_label"], "");
}

TEST_F(TrackerTest, DebugModeWritesEachEventToTheLog) {
    auto tracker = Start(endpoint_.Url());
    tracker->setDebugMode(true);
    tracker->trackCrash("");
    tracker->trackLaunch(VnContextProperties{});
    std::vector<TrackLogEntry> lines;
    tracker->getLogger()->readLines(lines, 0, 10);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].typeName, "Crashed");
    EXPECT_EQ(lines[1].typeName, "PaLaunchPal");
}

}  // namespace
