#include "src/core/InstallerStartup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/InstanceLock.h"
#include "src/core/InstallerSettings.h"
#include "support/TempFolder.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempFolder;

class RecordingSteps : public IInstallerSteps {
public:
    std::vector<std::string> calls;
    int DownloadTypeSeenAtAnalyticsStart = -100;

    void StartAnalytics() override {
        calls.push_back("start-analytics");
        DownloadTypeSeenAtAnalyticsStart = Settings().DownloadType;
    }
    void StopAnalytics() override { calls.push_back("stop-analytics"); }
    int RunMainWindow() override {
        calls.push_back("run");
        return 0;
    }
    void DestroyMainWindow() override { calls.push_back("destroy"); }
};

class InstallerStartupTest : public ::testing::Test {
protected:
    TempFolder runtime;
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().string()};
};

TEST_F(InstallerStartupTest, RunsTheStepsInOrderWithSwitchesApplied) {
    RecordingSteps steps;
    EXPECT_EQ(InstallerMain(L"setup.exe -downloadtype=3 -isenableapptelemetry=true", steps), 0);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"start-analytics", "run", "stop-analytics", "destroy"}));
    EXPECT_EQ(steps.DownloadTypeSeenAtAnalyticsStart, 3);
}

TEST_F(InstallerStartupTest, NoAnalyticsStopWhenSwitchedOff) {
    RecordingSteps steps;
    EXPECT_EQ(InstallerMain(L"setup.exe -isenableapptelemetry=false", steps), 0);
    EXPECT_EQ(steps.calls, (std::vector<std::string>{"start-analytics", "run", "destroy"}));
    Settings().IsEnableAppTelemetry = true;
}

TEST_F(InstallerStartupTest, SecondCopyExitsAtOnceWithMinusOne) {
    auto held = platform::InstanceLock::Acquire(kInstanceMutexName);
    ASSERT_TRUE(held);
    RecordingSteps steps;
    EXPECT_EQ(InstallerMain(L"setup.exe", steps), kExitAlreadyRunning);
    EXPECT_TRUE(steps.calls.empty());
}

// Runs the real installer executable and returns its exit status.
int RunInstaller() {
    const std::string command = std::string(MAVRIX_INSTALLER) + " -isenableapptelemetry=false >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(InstallerStartupTest, SecondInstallerProcessIsRefusedOnlyByTheFullName) {
    {
        auto held = platform::InstanceLock::Acquire(kInstanceMutexName);
        ASSERT_TRUE(held);
        EXPECT_EQ(RunInstaller(), 255);  // -1
    }
    auto unrelated = platform::InstanceLock::Acquire(L"Installer_Mavrix");
    ASSERT_TRUE(unrelated);
    EXPECT_NE(RunInstaller(), 255);
}

}  // namespace
