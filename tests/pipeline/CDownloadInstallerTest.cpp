#include "src/pipeline/CDownloadInstaller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "support/download_service/DownloadService.h"
#include "platform/Text.h"
#include "support/TempFolder.h"
#include "tests/pipeline/StatusRecorder.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempFolder;

// A pipeline against a real download service on 127.0.0.1. The service's bytes are no
// program, so the package stage ends in "could not start" (2004 with 2.0); what matters
// here is the chaining, the order of the codes and the package file.
class PipelineTest : public ::testing::Test {
protected:
    TempFolder home;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", home.path().string()};
    testsupport::DownloadService service{2 * 1024 * 1024};
    StatusRecorder recorder;
    std::unique_ptr<ScopedEnv> script;

    std::wstring Url() const { return platform::Utf8ToWide(service.ProductUrl()); }
    std::wstring Folder(const std::string& name) const { return (home / name).wstring(); }

    std::unique_ptr<CDownloadInstaller> MakePipeline(const std::wstring& oldUninstaller, const std::wstring& dir) {
        auto pipeline = std::make_unique<CDownloadInstaller>(recorder.Callback(), L"", L"", L"", true, true, true);
        pipeline->SetParams(Url(), oldUninstaller, dir, true, true, false, false);
        return pipeline;
    }
    // An old version whose uninstaller plays `text`.
    std::wstring OldVersion(const std::string& text) {
        script = std::make_unique<ScopedEnv>("MAVRIX_SCRIPT", home.Write("script.txt", text).string());
        const auto entry = home / "Old" / "uninst.ep";
        std::filesystem::create_directories(entry.parent_path());
        std::filesystem::copy_file(MAVRIX_SCRIPTED_PACKAGE, entry);
        return entry.wstring();
    }
    size_t IndexOf(int32_t code) const {
        const auto codes = recorder.Codes();
        return static_cast<size_t>(std::find(codes.begin(), codes.end(), code) - codes.begin());
    }
};

TEST_F(PipelineTest, WithoutOldVersionTheDownloadComesFirstAndEveryCodeIsForwardedInOrder) {
    const std::wstring dir = Folder("Apps/Mavrix");
    auto pipeline = MakePipeline(L"", dir);
    EXPECT_EQ(pipeline->PackagePath(), dir + L"/__Package_Mavrix.exe");
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(IST_CODE_FAIL));
    pipeline.reset();

    EXPECT_EQ(recorder.Milestones(),
              (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS, IST_CODE_START, IST_CODE_FAIL}));
    EXPECT_EQ(recorder.Records().back().value, 2.0);
    EXPECT_TRUE(std::filesystem::is_directory(home / "Apps/Mavrix"));
    EXPECT_FALSE(std::filesystem::exists(home / "Apps/Mavrix/__Package_Mavrix.exe"));  // deleted after 2004
}

TEST_F(PipelineTest, OldVersionIsRemovedFromATemporaryCopyBeforeTheDownload) {
    const auto argsFile = home / "args.txt";
    ScopedEnv args("MAVRIX_SCRIPT_ARGS", argsFile.string());
    auto pipeline = MakePipeline(OldVersion("out Progress=0.5\nout State=Success\n"), Folder("New"));
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(IST_CODE_FAIL));
    pipeline.reset();

    EXPECT_EQ(recorder.Milestones(), (std::vector<int32_t>{UNIST_CODE_SUCCESS, DL_CODE_START, DL_CODE_SUCCESS,
                                                           IST_CODE_START, IST_CODE_FAIL}));
    EXPECT_EQ(recorder.Codes().front(), UNIST_CODE_PROGRESS);
    EXPECT_TRUE(std::filesystem::exists(home / "~VarnoTemp.92482B06FB471E17/Mavrix_un_asa.exe"));
    EXPECT_TRUE(testsupport::ReadFile(argsFile).ends_with("_?=" + (home / "Old").string() + "\n"));
}

TEST_F(PipelineTest, FailedRemovalStartsNoDownload) {
    auto pipeline = MakePipeline(OldVersion("out Error=still running\n"), Folder("New"));
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(UNIST_CODE_ERROR));
    pipeline.reset();
    EXPECT_EQ(recorder.Milestones(), (std::vector<int32_t>{UNIST_CODE_ERROR}));
    EXPECT_EQ(service.CountRequests("GET"), 0u);
}

TEST_F(PipelineTest, NoTemporaryFolderReportsTheUninstallerMissing) {
    const std::wstring old = OldVersion("out State=Success\n");
    home.Write("not-a-folder", "");
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", (home / "not-a-folder").string());
    ScopedEnv noCache("XDG_CACHE_HOME", (home / "not-a-folder/cache").string());
    auto pipeline = MakePipeline(old, Folder("New"));
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(UNIST_CODE_FAIL));
    pipeline.reset();
    const auto records = recorder.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, L"可执行卸载文件不存在");
}

TEST_F(PipelineTest, FailedDownloadDeletesThePackageAndARetryKeepsTheFirstPackagePath) {
    testsupport::ServiceFaults notFound;
    notFound.getStatus = 404;
    service.SetFaults(notFound);
    const std::wstring first = Folder("First");
    auto pipeline = MakePipeline(L"", first);
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(DL_CODE_FAIL));
    EXPECT_FALSE(std::filesystem::exists(home / "First/__Package_Mavrix.exe"));

    // The user picks another folder and tries again: the downloader keeps its path.
    service.SetFaults({});
    std::atomic<bool> downloadedToFirst{false};
    recorder.onRecord = [&](const StatusRecord& record) {
        if (record.code == DL_CODE_SUCCESS) downloadedToFirst = std::filesystem::exists(home / "First/__Package_Mavrix.exe");
    };
    pipeline->SetParams(Url(), L"", Folder("Second"), false, false, false, false);
    EXPECT_EQ(pipeline->PackagePath(), Folder("Second") + L"/__Package_Mavrix.exe");
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(IST_CODE_FAIL));
    pipeline.reset();
    EXPECT_TRUE(downloadedToFirst);
    EXPECT_TRUE(std::filesystem::is_directory(home / "Second"));
    EXPECT_FALSE(std::filesystem::exists(home / "First/__Package_Mavrix.exe"));
    EXPECT_FALSE(std::filesystem::exists(home / "Second/__Package_Mavrix.exe"));
}

TEST_F(PipelineTest, DownloadSuccessReachesTheCallbackBeforeTheInstallerStarts) {
    auto pipeline = MakePipeline(L"", Folder("Order"));
    pipeline->Start();
    ASSERT_TRUE(recorder.WaitFor(IST_CODE_FAIL));
    pipeline.reset();
    EXPECT_LT(IndexOf(DL_CODE_SUCCESS), IndexOf(IST_CODE_START));
    EXPECT_LT(IndexOf(DL_CODE_START), IndexOf(DL_CODE_SUCCESS));
}

}  // namespace
