// End to end: the real installer executable installs the demo product with "-silent" from
// the demo download service, installs again over it, and the product's uninstaller then
// removes it. Every program runs as a real process; all records go to a temporary home.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/ProfileFile.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"
#include "support/telemetry_endpoint/TelemetryEndpoint.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::RunningTool;
using testsupport::RunTool;
using testsupport::ScopedEnv;
using testsupport::TempFolder;
using testsupport::ToolResult;

class UnattendedInstallTest : public ::testing::Test {
protected:
    TempFolder home;
    ScopedEnv config{"XDG_CONFIG_HOME", (home / "config").string()};
    ScopedEnv data{"XDG_DATA_HOME", (home / "data").string()};
    ScopedEnv state{"XDG_STATE_HOME", (home / "state").string()};
    ScopedEnv cache{"XDG_CACHE_HOME", (home / "cache").string()};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", home.path().string()};
    ScopedEnv desktop{"XDG_DESKTOP_DIR", (home / "Desktop").string()};
    std::unique_ptr<RunningTool> service;
    std::string productUrl;
    fs::path installer;

    // The installer is copied to a folder of its own, so that a settings file can sit
    // beside it as a distribution channel would put it.
    void SetUp() override {
        fs::create_directories(home / "channel");
        installer = home / "channel" / "MavrixSetup.exe";
        fs::copy_file(MAVRIX_INSTALLER, installer);
        StartService(MAVRIX_DEMO_PACKAGE_DIR);
    }

    void StartService(const std::string& root, std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {MAVRIX_DEMO_SERVICE, "--root", root, "--port", "0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        service = std::make_unique<RunningTool>(arguments);
        const auto first = service->ReadLine();
        ASSERT_TRUE(first && first->starts_with("Serving ")) << first.value_or("(nothing)");
        productUrl = first->substr(8);
    }

    void WriteChannelSettings(const std::string& text) { home.Write("channel/VarnoInstallerConfig.ini", text); }

    ToolResult Install(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {installer.string(), "-silent", "-downloadurl=" + productUrl};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunTool(arguments);
    }

    // The task events the endpoint received: name and reason.
    static std::vector<std::pair<std::string, std::string>> Tasks(const testsupport::TelemetryEndpoint& endpoint) {
        std::vector<std::pair<std::string, std::string>> tasks;
        for (const auto& record : endpoint.Records()) {
            if (record["event"] != "VnEventTask") continue;
            tasks.emplace_back(record["properties"]["vn_task_name"].asString(),
                               record["properties"]["vn_reason"].asString());
        }
        return tasks;
    }

    std::wstring Ini(const fs::path& file, const wchar_t* section, const wchar_t* key) const {
        return platform::ProfileFile::GetString(file.wstring(), section, key, L"", 1024);
    }
};

TEST_F(UnattendedInstallTest, InstallsThenReinstallsOverTheOldVersionThenUninstallsCleanly) {
    WriteChannelSettings("[Install]\nIsEnableAppTelemetry=false\n");
    const fs::path folder = home / "Apps" / "Mavrix";

    // First installation, into the folder asked for.
    const ToolResult first = Install({"-installdir=" + folder.string()});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_NE(first.output.find("100%\n"), std::string::npos) << first.output;
    EXPECT_EQ(access((folder / "Mavrix.exe").c_str(), X_OK), 0);
    EXPECT_EQ(access((folder / "uninst.ep").c_str(), X_OK), 0);
    EXPECT_FALSE(fs::exists(folder / "__Package_Mavrix.exe"));
    const ToolResult product = RunTool({(folder / "Mavrix.exe").string()});
    EXPECT_NE(product.output.find("is installed in " + folder.string()), std::string::npos) << product.output;

    // The records: registry store, set.ini and the analytics file.
    const std::string registry = ReadFile(home / "config/mavrix-registry/software/varnosoft/mavrix.values");
    EXPECT_NE(registry.find("InstallPath=" + folder.string() + "\n"), std::string::npos) << registry;
    EXPECT_NE(registry.find("UnInstallEp=" + (folder / "uninst.ep").string() + "\n"), std::string::npos);
    const fs::path setIni = folder / "set.ini";
    EXPECT_EQ(Ini(setIni, L"Install", L"APPStore"), L"MavrixSetup.exe");
    EXPECT_EQ(Ini(setIni, L"Install", L"AppName"), L"Mavrix");
    const std::wstring firstDevice = Ini(setIni, L"Install", L"DeviceID");
    EXPECT_EQ(firstDevice.size(), 32u);
    const fs::path analyticsIni = home / "data/VarnoData/Mavrix/VNTelemetry.ini";
    EXPECT_EQ(Ini(setIni, L"Install", L"VNTelemetryIni"), analyticsIni.wstring());
    EXPECT_EQ(Ini(analyticsIni, L"Init", L"UpdateTime").size(), 19u);

    // Second installation: the recorded folder, with the old version removed first by a
    // temporary copy of its uninstaller.
    const ToolResult second = Install();
    ASSERT_EQ(second.exitCode, 0) << second.output;
    const size_t removed = second.output.find("UNIST_CODE_SUCCESS");
    ASSERT_NE(removed, std::string::npos) << second.output;
    EXPECT_LT(removed, second.output.find("DL_CODE_START"));
    EXPECT_TRUE(fs::exists(home / "~VarnoTemp.92482B06FB471E17/Mavrix_un_asa.exe"));
    EXPECT_NE(Ini(setIni, L"Install", L"DeviceID"), firstDevice);
    EXPECT_TRUE(fs::exists(folder / "Mavrix.exe"));

    // The product's own uninstaller leaves nothing of it behind.
    const ToolResult removal = RunTool({(folder / "uninst.ep").string(), "/S", "_?=" + folder.string()});
    EXPECT_EQ(removal.exitCode, 0) << removal.output;
    EXPECT_NE(removal.output.find("State=Success"), std::string::npos);
    EXPECT_TRUE(!fs::exists(folder) || fs::is_empty(folder));
    for (const char* entryFolder : {"Desktop", "data/applications"}) {
        if (!fs::exists(home / entryFolder)) continue;
        for (const auto& entry : fs::directory_iterator(home / entryFolder)) {
            EXPECT_EQ(entry.path().filename().string().find("Mavrix"), std::string::npos) << entry.path();
        }
    }
}

TEST_F(UnattendedInstallTest, AnalyticsReceivesTheWindowsTaskEventsInOrder) {
    testsupport::TelemetryEndpoint endpoint;
    WriteChannelSettings("[Install]\nTelemetryServerUrl=" + endpoint.Url() + "\n");
    const ToolResult result = Install({"-installdir=" + (home / "Apps/Mavrix").string()});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    std::vector<std::string> names;
    for (const auto& [name, reason] : Tasks(endpoint)) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"下载器启动", "开始下载大包", "大包下载完毕", "安装成功"}));
    EXPECT_TRUE(endpoint.Problems().empty());
}

TEST_F(UnattendedInstallTest, FailuresHaveTheirOwnExitCodesAndReasons) {
    testsupport::TelemetryEndpoint endpoint;
    WriteChannelSettings("[Install]\nTelemetryServerUrl=" + endpoint.Url() + "\n");
    home.Write("a-file", "");

    // A folder that cannot be made is refused before anything is downloaded.
    const ToolResult refused = Install({"-installdir=" + (home / "a-file/Mavrix").string()});
    EXPECT_EQ(refused.exitCode, 13);
    EXPECT_NE(refused.output.find("the install folder cannot be created"), std::string::npos) << refused.output;

    // A damaged package: its own error text comes back.
    std::string bytes = ReadFile(MAVRIX_DEMO_PACKAGE);
    bytes[bytes.size() - 200] ^= 0x55;  // inside the product archive, before the trailer
    home.Write("bad/Mavrix_Setup_9.9.9.exe", bytes);
    StartService((home / "bad").string());
    const ToolResult damaged = Install({"-installdir=" + (home / "Apps/Damaged").string()});
    EXPECT_EQ(damaged.exitCode, 11);
    EXPECT_NE(damaged.output.find("mavrix-installer: the package failed: "), std::string::npos) << damaged.output;
    EXPECT_FALSE(fs::exists(home / "Apps/Damaged/__Package_Mavrix.exe"));
    const auto tasks = Tasks(endpoint);
    ASSERT_FALSE(tasks.empty());
    EXPECT_EQ(tasks.back().first, "安装失败原因");
    EXPECT_TRUE(tasks.back().second.starts_with(":1.code=1000；2.msg=")) << tasks.back().second;
}

TEST_F(UnattendedInstallTest, OldVersionThatCannotBeRemovedStopsTheInstallation) {
    WriteChannelSettings("[Install]\nIsEnableAppTelemetry=false\n");
    const fs::path old = home / "Old";
    home.Write("Old/uninst.ep", "#!/bin/sh\necho 'Error=Mavrix is still open'\n");
    fs::permissions(old / "uninst.ep", fs::perms::owner_all);
    home.Write("config/mavrix-registry/software/varnosoft/mavrix.values", "InstallPath=" + old.string() + "\n");

    const ToolResult result = Install();
    EXPECT_EQ(result.exitCode, 12) << result.output;
    EXPECT_NE(result.output.find("could not be removed: Mavrix is still open"), std::string::npos) << result.output;
}

TEST_F(UnattendedInstallTest, DownloadThatFailsTwiceGivesUp) {
    testsupport::TelemetryEndpoint endpoint;
    WriteChannelSettings("[Install]\nTelemetryServerUrl=" + endpoint.Url() + "\n");
    productUrl = "http://127.0.0.1:9/software/243";  // nothing listens on the discard port
    const ToolResult result = Install({"-installdir=" + (home / "Apps/Mavrix").string()});
    EXPECT_EQ(result.exitCode, 10) << result.output;
    EXPECT_NE(result.output.find("trying once more"), std::string::npos);
    EXPECT_NE(result.output.find("the package could not be downloaded"), std::string::npos);

    // Both attempts report their reason with the five parts of a download failure.
    size_t failures = 0;
    for (const auto& [name, reason] : Tasks(endpoint)) {
        if (name != "下载失败原因" || !reason.starts_with("1.code=")) continue;
        ++failures;
        for (const char* part : {"；2.msg=", "；3.缓存磁盘容量=", "；4.缓存读写权限=", "；5.服务器连接状态code="}) {
            EXPECT_NE(reason.find(part), std::string::npos) << reason;
        }
    }
    EXPECT_EQ(failures, 2u);
}

}  // namespace
