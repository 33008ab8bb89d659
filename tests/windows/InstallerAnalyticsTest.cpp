#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/Text.h"
#include "src/core/InstallerSettings.h"
#include "src/windows/AnalyticsEnvironment.h"
#include "src/windows/CInstallAnalytics.h"
#include "src/windows/InstallerAnalytics.h"
#include "support/telemetry_endpoint/TelemetryEndpoint.h"
#include "support/TempFolder.h"
#include "telemetry/source/src/TelemetryTrackerInstance.h"
#include "telemetry/telemetry_core/SendStatus.h"

using testsupport::TelemetryEndpoint;

namespace {

using namespace std::chrono_literals;

// The name of each task, click and view record, in the order received.
std::vector<std::string> EventNames(const std::vector<Json::Value>& records) {
    std::vector<std::string> names;
    for (const auto& r : records) {
        const auto& p = r["properties"];
        if (r["event"] == "VnEventTask") names.push_back("task:" + p["vn_task_name"].asString());
        if (r["event"] == "VnEventClick") names.push_back("click:" + p["vn_name"].asString());
        if (r["event"] == "VnEventView") names.push_back("view:" + p["vn_name"].asString());
        if (r["event"] == "AppCrashed") names.push_back("crash:" + p["app_crashed_reason"].asString());
    }
    return names;
}

class InstallerAnalyticsTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings();
        setenv("XDG_STATE_HOME", (folder_ / "state").c_str(), 1);
        Settings().IsEnableAppTelemetry = true;
        Settings().ExeName = L"MavrixSetup.exe";
        Settings().TelemetryServerUrl = platform::Utf8ToWide(endpoint_.Url());
        telemetry_core::SetLastSendSucceeded(false);
    }
    void TearDown() override {
        varno::telemetry::ShutdownTelemetryTracker();
        Settings() = saved_;
    }
    std::wstring PackagePath() const { return (folder_ / "install/__Package_Mavrix.exe").wstring(); }

    InstallerSettings saved_;
    testsupport::TempFolder folder_;
    TelemetryEndpoint endpoint_;
};

TEST_F(InstallerAnalyticsTest, SuccessfulRunSendsItsEventsInOrder) {
    std::filesystem::create_directories(folder_ / "install");
    StartAnalytics();
    CInstallAnalytics install(L"IN", PackagePath());
    ReportClickEvent({{L"AB", L"IN"}}, L"立即安装");
    install.ReportDownloaderStart();  // the window's first WM_USER + 200
    ReportViewEvent({{L"AB", L"IN"}});
    for (const int code : {1001, 1002, 1003, 2001, 2002, 3000, 2003}) install.OnStatus(code, 0.0, L"");
    ReportClickEvent({{L"AB", L"IN"}}, L"立即体验");
    EXPECT_EQ(endpoint_.Requests(), 0u);  // nothing waits for the network during the run
    StopAnalytics();

    const auto records = endpoint_.Records();
    EXPECT_EQ(EventNames(records),
              (std::vector<std::string>{"click:立即安装", "task:下载器启动", "view:安装中", "task:开始下载大包",
                                        "task:大包下载完毕", "task:安装成功", "click:立即体验"}));
    for (const auto& r : records) {
        const auto& p = r["properties"];
        EXPECT_EQ(p["vnc_ab"], "IN") << r;
        EXPECT_EQ(p["vn_app_id"], "Mavrix.downloader");
        EXPECT_EQ(p["vn_app_store"], "MavrixSetup.exe");
        EXPECT_EQ(p["vn_dlapp_id"], "Mavrix");
        EXPECT_EQ(p["$os"], "Linux");
        EXPECT_EQ(p["vn_app_platform"], "Linux");
        if (r["event"] == "VnEventTask") {
            EXPECT_EQ(p["vn_task_result"], "Success");
            EXPECT_TRUE(p["vn_task_elapsed"].isNumeric());
            EXPECT_FALSE(p.isMember("vn_reason"));
        }
        if (r["event"] == "VnEventClick") {
            EXPECT_EQ(p["vn_click_type"], "Button");
        }
    }
    EXPECT_TRUE(endpoint_.Problems().empty());
}

TEST_F(InstallerAnalyticsTest, FailedAndRetriedDownloadReportsItsReasons) {
    std::filesystem::create_directories(folder_ / "install");
    StartAnalytics();
    CInstallAnalytics install(L"IN", PackagePath());
    install.OnStatus(1001, 1.0, L"");
    install.OnStatus(1006, 0.0, L"MD5 mismatch");
    install.OnStatus(1004, 28.0, L"LibCurl");
    install.OnStatus(1001, 1.0, L"");
    install.OnStatus(1003, 0.0, L"LibCurl");
    install.OnStatus(2004, 1000.0, L"安装包安装失败");
    StopAnalytics();

    const auto records = endpoint_.Records();
    EXPECT_EQ(EventNames(records),
              (std::vector<std::string>{"task:下载器启动", "task:开始下载大包", "task:下载失败原因", "task:下载失败原因",
                                        "task:开始下载大包", "task:大包下载完毕", "task:安装失败原因"}));
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[2]["properties"]["vn_reason"], ":1.code=0；2.msg=MD5 mismatch");
    const std::string detail = records[3]["properties"]["vn_reason"].asString();
    EXPECT_TRUE(std::regex_match(detail, std::regex("1\\.code=28；2\\.msg=LibCurl；3\\.缓存磁盘容量=[0-9]+\\.[0-9]{2}G；"
                                                    "4\\.缓存读写权限=可读；5\\.服务器连接状态code=[0-9]+")))
        << detail;
    EXPECT_FALSE(std::filesystem::exists(folder_ / "install/__Package_Mavrix.exe"));  // the probe left nothing
    EXPECT_EQ(records[6]["properties"]["vn_reason"], ":1.code=1000；2.msg=安装包安装失败");
    for (const auto& r : records) EXPECT_EQ(r["properties"]["vn_task_result"], "Success");
}

TEST_F(InstallerAnalyticsTest, DisabledAnalyticsSendsAndWritesNothing) {
    Settings().IsEnableAppTelemetry = false;
    ReportLibcurlInitFailed();
    StartAnalytics();
    EXPECT_EQ(varno::telemetry::GetTelemetryTracker(), nullptr);
    CInstallAnalytics install(L"IN", PackagePath());
    ReportClickEvent({{L"AB", L"IN"}}, L"立即安装");
    ReportViewEvent({{L"AB", L"IN"}});
    for (const int code : {1001, 1003, 2003}) install.OnStatus(code, 0.0, L"");
    ReportCrash();
    StopAnalytics();
    Settings().IsEnableAppTelemetry = true;
    StartAnalytics();  // a held libcurl failure would show up now
    StopAnalytics();
    const auto names = EventNames(endpoint_.Records());
    EXPECT_TRUE(names.empty()) << names.front();

    // And with analytics off from the start, not a single file is made.
    testsupport::TempFolder other;
    setenv("XDG_STATE_HOME", (other / "state").c_str(), 1);
    Settings().IsEnableAppTelemetry = false;
    StartAnalytics();
    ReportTaskEvent(L"x", L"", 0, {});
    StopAnalytics();
    EXPECT_FALSE(std::filesystem::exists(other / "state"));
}

TEST_F(InstallerAnalyticsTest, EarlyLibcurlFailureIsSentOnceAnalyticsStarts) {
    ReportLibcurlInitFailed();
    StartAnalytics();
    StopAnalytics();
    const auto records = endpoint_.Records();
    EXPECT_EQ(EventNames(records), std::vector<std::string>{"task:libcurl初始化失败"});
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["properties"]["vnc_ab"], "IN");
    StartAnalytics();  // sent once only
    StopAnalytics();
    EXPECT_EQ(endpoint_.Records().size(), 1u);
}

TEST_F(InstallerAnalyticsTest, CrashReportsAreDeliveredBeforeTheProcessEnds) {
    StartAnalytics();
    ReportClickEvent({{L"AB", L"IN"}}, L"自定义安装");
    ReportCrash();
    EXPECT_EQ(varno::telemetry::GetTelemetryTracker(), nullptr);
    EXPECT_EQ(EventNames(endpoint_.Records()),
              (std::vector<std::string>{"click:自定义安装", "task:崩溃退出", "crash:崩溃"}));
}

TEST_F(InstallerAnalyticsTest, SwitchValuesNameTheTrackedApplication) {
    Settings().DlAppNameSuffix = L".channel";
    Settings().DlAppVersion = L"2.0.1";
    StartAnalytics();
    ReportTaskEvent(L"t", L"r", 1.5f, {{L"AB", L"ab"}});  // an invalid group is left out
    StopAnalytics();
    const auto records = endpoint_.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["properties"]["vn_app_id"], "Mavrix.channel");
    EXPECT_EQ(records[0]["properties"]["vn_dlapp_version"], "2.0.1");
    EXPECT_EQ(records[0]["properties"]["vn_reason"], "r");
    EXPECT_EQ(records[0]["properties"]["vn_task_elapsed"], 1.5);
    EXPECT_FALSE(records[0]["properties"].isMember("vnc_ab"));
}

TEST_F(InstallerAnalyticsTest, IdentityIsKeptInTheUsersStateFolder) {
    StartAnalytics();
    StopAnalytics();
    const auto identity = folder_.path() / "state/VNLocal/Mavrix.downloader/Mavrix.downloader_VNSConfigure.ini";
    ASSERT_TRUE(std::filesystem::exists(identity));
    std::ifstream in(identity);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(std::regex_search(text, std::regex("DistinctId=[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
        << text;
    EXPECT_NE(text.find("URL=" + endpoint_.Url()), std::string::npos);
}

TEST(InstallerAnalyticsTexts, StatusReasonKeepsLongMessagesWhole) {
    EXPECT_EQ(FormatStatusReason(1000.9, L"x"), L":1.code=1000；2.msg=x");
    const std::wstring longText(500, L'长');
    EXPECT_EQ(FormatStatusReason(-2, longText), L":1.code=-2；2.msg=" + longText);
}

TEST(InstallerAnalyticsTexts, PackageFolderWithoutWriteAccessReadsAsNoPermission) {
    testsupport::TempFolder folder;
    EXPECT_EQ(PackageWritePermissionText((folder / "__Package_Mavrix.exe").wstring()), L"可读");
    EXPECT_FALSE(std::filesystem::exists(folder / "__Package_Mavrix.exe"));
    EXPECT_EQ(PackageWritePermissionText((folder / "missing/__Package_Mavrix.exe").wstring()), L"无权限");
    std::filesystem::create_directories(folder / "blocker/__Package_Mavrix.exe/inside");  // a folder in the way
    EXPECT_EQ(PackageWritePermissionText((folder / "blocker/__Package_Mavrix.exe").wstring()), L"无权限");
}

TEST(InstallerAnalyticsTexts, LocaleNamesGiveLanguageAndCountry) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(ParseLocaleName("zh_CN.UTF-8"), P("zh", "CN"));
    EXPECT_EQ(ParseLocaleName("en_US@euro"), P("en", "US"));
    EXPECT_EQ(ParseLocaleName("de_DE"), P("de", "DE"));
    EXPECT_EQ(ParseLocaleName("C.UTF-8"), P());
    EXPECT_EQ(ParseLocaleName("C"), P());
    EXPECT_EQ(ParseLocaleName(""), P());
    EXPECT_EQ(ParseLocaleName("_US"), P());
}

TEST(InstallerSettingsTelemetryServerUrl, ReadFromTheSettingsFileEmptyByDefault) {
    testsupport::TempFolder folder;
    const std::wstring exe = (folder / "MavrixSetup.exe").wstring();
    InstallerSettings without;
    without.ReadSettingsFile(exe);
    EXPECT_EQ(without.TelemetryServerUrl, L"");
    std::ofstream(folder / "VarnoInstallerConfig.ini")
        << "[Install]\r\nTelemetryServerUrl=http://127.0.0.1:8080/collect?project=pc\r\n";
    InstallerSettings with;
    with.ReadSettingsFile(exe);
    EXPECT_EQ(with.TelemetryServerUrl, L"http://127.0.0.1:8080/collect?project=pc");
}

}  // namespace
