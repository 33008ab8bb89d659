#include "src/pipeline/PackageInstallerRunner.h"

#include <gtest/gtest.h>

#include "src/core/InstallerSettings.h"
#include "support/TempFolder.h"
#include "tests/pipeline/StatusRecorder.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempFolder;

// The protocol, line by line, without a child program.
class ProtocolTest : public ::testing::Test {
protected:
    StatusRecorder recorder;
    PackageInstallerRunner runner{recorder.Callback(), L"\"/p/pkg.exe\"", L"/opt/Mavrix", true, true};
};

TEST_F(ProtocolTest, KeysBecomeStatusCalls) {
    struct Case {
        std::wstring line;
        int result;
        int32_t code;  // 0: no call
        double value;
        std::wstring text;
    };
    const Case cases[] = {
        {L"Progress=0.5\r", 0, IST_CODE_PROGRESS, 0.5, L""},
        {L"Progress=abc", 0, IST_CODE_PROGRESS, 0.0, L""},
        {L"InstPath=C:\\X\r", 0, IST_INFO_INST_PATH, 0.0, L"C:\\X"},  // the carriage return is not kept
        {L"State= Success \r", 1, IST_CODE_SUCCESS, 0.0, L""},
        {L"State=Fail", 1000, IST_CODE_FAIL, 0.0, L"安装包安装失败"},
        {L"State=Maybe", 0, 0, 0, L""},
        {L"state=Success", 0, 0, 0, L""},  // keys are case-sensitive
        {L"ExePath=/opt/Mavrix/Mavrix.exe", 0, IST_INFO_EXE_PATH, 0.0, L"/opt/Mavrix/Mavrix.exe"},
        {L"StartExe=/a", 0, IST_INFO_EXE_PATH, 0.0, L"/a"},
        {L"UninstExePath=/u", 0, IST_INFO_UNINST_EXE, 0.0, L"/u"},
        {L"UninstExe=/u2", 0, IST_INFO_UNINST_EXE, 0.0, L"/u2"},
        {L"UninstEp=/opt/Mavrix/uninst.ep", 0, IST_INFO_UNINST_EP, 0.0, L"/opt/Mavrix/uninst.ep"},
        {L"Error=disk full", 1000, IST_CODE_FAIL, 1000.0, L"disk full"},
        {L"TopShowDetention=-1", 0, IST_INFO_TOP_SHOW_DETENTION, 4294967295.0, L""},
        {L"FinsihCloseDetention=5000", 0, IST_INFO_FINISH_CLOSE_DETENTION, 5000.0, L""},
        {L"StartUrl=https://mavrix.example/start", 0, IST_INFO_START_URL, 0.0, L"https://mavrix.example/start"},
        {L"StartupStyle= UserStartup", 0, IST_INFO_STARTUP_STYLE, 2.0, L""},
        {L"StartupStyle=AutoStartup", 0, IST_INFO_STARTUP_STYLE, 1.0, L""},
        {L"StartupStyle=Sometimes", 0, IST_INFO_STARTUP_STYLE, 0.0, L""},
        {L"Message=hello", 0, IST_INFO_MESSAGE, 0.0, L"hello"},
        {L"InstallVersion=2.3.4", 0, 0, 0, L""},
        {L"Unknown=1", 0, 0, 0, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        const size_t before = recorder.Records().size();
        EXPECT_EQ(runner.ParseLine(c.line), c.result);
        const auto records = recorder.Records();
        if (c.code == 0) {
            EXPECT_EQ(records.size(), before);
            continue;
        }
        ASSERT_EQ(records.size(), before + 1);
        EXPECT_EQ(records.back().code, c.code);
        EXPECT_DOUBLE_EQ(records.back().value, c.value);
        EXPECT_EQ(records.back().text, c.text);
    }
    EXPECT_EQ(runner.InstallVersion().minor, 3);
}

TEST_F(ProtocolTest, LongValuesAreCutAndEncodeSetsTheCodePage) {
    runner.ParseLine(L"Message=" + std::wstring(1000, L'm'));
    EXPECT_EQ(recorder.Records().back().text.size(), 771u);
    const std::pair<std::wstring, unsigned> encodings[] = {
        {L"Encode=UTF8", 65001}, {L"Encode= 936 ", 936}, {L"Encode=abc", 0}, {L"Encode=ACP", 0}};
    for (const auto& [line, codePage] : encodings) {
        runner.ParseLine(line);
        EXPECT_EQ(runner.OutputCodePage(), codePage);
    }
}

TEST(PackageCommandLine, SwitchesInOrder) {
    struct Case {
        std::wstring instCmd;
        std::wstring installDir;
        bool admin, elevated, desktop, quick;
        std::wstring line;
    };
    const Case cases[] = {
        {L"", L"/opt/My Apps/Mavrix", true, true, true, true,
         L"\"/p/pkg.exe\" /S -console=show -version=1.0.0 -adminact=true -authorizationact=true -dsc=true -ssc=true"
         L" -instdir=\"/opt/My Apps/Mavrix\" /D=/opt/My Apps/Mavrix"},
        {L"-lang=zh", L"", false, true, false, true,
         L"\"/p/pkg.exe\" /S -console=show -version=1.0.0 -adminact=false -authorizationact=true -dsc=false -ssc=true"
         L" -lang=zh"},
    };
    for (const auto& c : cases) {
        Settings().InstCmd = c.instCmd;
        PackageInstallerRunner runner({}, L"\"/p/pkg.exe\"", L"", false, false);
        runner.SetChoices(c.installDir, c.desktop, c.quick, c.admin, c.elevated);
        EXPECT_EQ(runner.BuildCommandLine(), c.line);
    }
    Settings().InstCmd.clear();
}

// Real runs of a scripted package.
class RunnerTest : public ScriptedProgramTest {
protected:
    void RunPackage(const std::wstring& program = MAVRIX_SCRIPTED_PACKAGE_W) {
        PackageInstallerRunner runner(recorder.Callback(), L"\"" + program + L"\"", L"", false, false);
        runner.Start();
    }  // the runner's destructor waits for the run
};

TEST_F(RunnerTest, SilentPackageThatExitsCountsAsSuccess) {
    Script("exit 0\n");
    RunPackage();
    const auto records = recorder.Records();
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_SUCCESS}));
    EXPECT_DOUBLE_EQ(records.back().value, 1.0);
}

TEST_F(RunnerTest, MissingPackageFailsToStart) {
    RunPackage(folder.wide() + L"/missing.exe");
    const auto records = recorder.Records();
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_FAIL}));
    EXPECT_DOUBLE_EQ(records.back().value, 2.0);
}

TEST_F(RunnerTest, LineSplitAcrossWritesIsReadWhole) {
    Script("out Progress=0.25\nraw State=Succ\nsleep 150\nout ess\n");
    RunPackage();
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{IST_CODE_START, IST_CODE_PROGRESS, IST_CODE_PROGRESS,
                                                      IST_CODE_SUCCESS}));
    EXPECT_DOUBLE_EQ(recorder.Records().back().value, 0.0);  // from the state line, not from the exit
}

TEST_F(RunnerTest, FinalLineWithoutLineFeedStillCounts) {
    Script("raw Error=no space left\n");
    RunPackage();
    const auto records = recorder.Records();
    ASSERT_EQ(records.back().code, IST_CODE_FAIL);
    EXPECT_EQ(records.back().text, L"no space left");
}

TEST_F(RunnerTest, ErrorJustBeforeExitIsNotMistakenForSuccess) {
    Script("out Error=archive damaged\nexit 1\n");
    RunPackage();
    EXPECT_EQ(recorder.Milestones(), (std::vector<int32_t>{IST_CODE_START, IST_CODE_FAIL}));
}

TEST_F(RunnerTest, ChattyPackageAfterItsStateNeverBlocks) {
    // Far more than a pipe holds after the final state; only one final report.
    Script("out State=Success\nflood 2000000\nout State=Fail\n");
    RunPackage();
    EXPECT_EQ(recorder.Milestones(), (std::vector<int32_t>{IST_CODE_START, IST_CODE_SUCCESS}));
}

TEST_F(RunnerTest, EncodeAppliesFromTheNextLine) {
    // "中文" in code page 936, then in UTF-8.
    Script("out Encode=936\nout Message=\\xD6\\xD0\\xCE\\xC4\nout Encode=UTF8\nout Message=\\xE4\\xB8\\xAD\nexit 0\n");
    RunPackage();
    std::vector<std::wstring> messages;
    for (const auto& record : recorder.Records()) {
        if (record.code == IST_INFO_MESSAGE) messages.push_back(record.text);
    }
    EXPECT_EQ(messages, (std::vector<std::wstring>{L"中文", L"中"}));
}

TEST_F(RunnerTest, PackageReceivesTheSwitchesAsArguments) {
    const auto argsFile = folder / "args.txt";
    ScopedEnv args("MAVRIX_SCRIPT_ARGS", argsFile.string());
    PackageInstallerRunner runner(recorder.Callback(), L"\"" + std::wstring(MAVRIX_SCRIPTED_PACKAGE_W) + L"\"",
                                  L"", false, true);
    runner.SetChoices(L"/opt/Mavrix", true, false, false, true);
    runner.Start();
    ASSERT_TRUE(recorder.WaitFor(IST_CODE_SUCCESS));
    EXPECT_EQ(testsupport::ReadFile(argsFile),
              "/S\n-console=show\n-version=1.0.0\n-adminact=false\n-authorizationact=true\n-dsc=true\n-ssc=false\n"
              "-instdir=/opt/Mavrix\n/D=/opt/Mavrix\n");
}

}  // namespace
