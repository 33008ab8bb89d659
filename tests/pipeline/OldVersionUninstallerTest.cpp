#include "src/pipeline/OldVersionUninstaller.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "tests/pipeline/StatusRecorder.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempFolder;

class UninstallerTest : public ScriptedProgramTest {
protected:
    void RunUninstaller(const std::wstring& copy = MAVRIX_SCRIPTED_PACKAGE_W,
                        const std::wstring& oldDir = L"/opt/Old Mavrix") {
        OldVersionUninstaller uninstaller(recorder.Callback(), copy, oldDir);
        uninstaller.Start();
    }  // the destructor waits for the run
    std::vector<std::pair<int32_t, double>> CodesAndValues() const {
        std::vector<std::pair<int32_t, double>> result;
        for (const auto& record : recorder.Records()) result.emplace_back(record.code, record.value);
        return result;
    }
};

TEST_F(UninstallerTest, ProgressThenSuccessAndNoSecondSuccessAtExit) {
    Script("out Progress=0.3\nout Progress=1\nout State=Success\nsleep 100\nout State=Success\n");
    RunUninstaller();
    EXPECT_EQ(CodesAndValues(), (std::vector<std::pair<int32_t, double>>{{UNIST_CODE_PROGRESS, 0.0},
                                                                          {UNIST_CODE_PROGRESS, 0.3},
                                                                          {UNIST_CODE_PROGRESS, 1.0},
                                                                          {UNIST_CODE_SUCCESS, 0.0}}));
}

TEST_F(UninstallerTest, ErrorIsReportedAtOnceAndTheStageWaitsForTheExit) {
    Script("out Error=files in use\nsleep 300\nout Progress=0.9\n");
    RunUninstaller();
    const auto records = recorder.Records();
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{UNIST_CODE_PROGRESS, UNIST_CODE_ERROR}));
    EXPECT_EQ(records.back().text, L"files in use");
}

TEST_F(UninstallerTest, FailStateAndSilentExit) {
    Script("out State=Fail\n");
    RunUninstaller();
    EXPECT_EQ(recorder.Records().back().text, L"安装包卸载失败");
    EXPECT_EQ(recorder.Records().back().code, UNIST_CODE_ERROR);

    StatusRecorder silent;
    Script("exit 3\n");
    {
        OldVersionUninstaller uninstaller(silent.Callback(), MAVRIX_SCRIPTED_PACKAGE_W, L"/opt/Old");
        uninstaller.Start();
    }
    EXPECT_EQ(silent.Records().back().code, UNIST_CODE_SUCCESS);
    EXPECT_DOUBLE_EQ(silent.Records().back().value, 1.0);
}

TEST_F(UninstallerTest, MissingCopyStartsNothing) {
    RunUninstaller(folder.wide() + L"/gone.exe");
    const auto records = recorder.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].code, UNIST_CODE_FAIL);
    EXPECT_DOUBLE_EQ(records[0].value, 1.0);
    EXPECT_EQ(records[0].text, L"可执行卸载文件不存在");
}

TEST_F(UninstallerTest, FolderToRemoveIsTheLastSwitchAndArrivesWhole) {
    const auto argsFile = folder / "args.txt";
    ScopedEnv args("MAVRIX_SCRIPT_ARGS", argsFile.string());
    RunUninstaller(MAVRIX_SCRIPTED_PACKAGE_W, L"/opt/Old Mavrix");
    const std::string received = testsupport::ReadFile(argsFile);
    EXPECT_TRUE(received.starts_with("/S\n-adminact=")) << received;
    EXPECT_TRUE(received.ends_with("-console=show\n_?=/opt/Old Mavrix\n")) << received;
}

TEST(UninstallerCommandLine, CopyPathWithBlanksIsQuoted) {
    OldVersionUninstaller uninstaller({}, L"/tmp/my temp/Mavrix_un_asa.exe", L"/opt/Mavrix");
    const std::wstring line = uninstaller.BuildCommandLine();
    EXPECT_TRUE(line.starts_with(L"\"/tmp/my temp/Mavrix_un_asa.exe\" /S -adminact=")) << std::string(line.begin(), line.end());
    EXPECT_TRUE(line.ends_with(L" -console=show _?=/opt/Mavrix"));
}

}  // namespace
