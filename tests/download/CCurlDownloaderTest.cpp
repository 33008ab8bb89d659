#include "src/download/CCurlDownloader.h"

#include <filesystem>
#include <memory>

#include "download/DownloadTestSupport.h"
#include "support/download_service/SelfSignedCertificate.h"

using namespace DownloadTest;
using testsupport::DownloadService;
using testsupport::ServiceFaults;
using std::chrono::milliseconds;

namespace {

constexpr int64_t kMiB = 1048576;

class CCurlDownloaderTest : public ::testing::Test {
protected:
    // A downloader whose owner restarts it on 1005 from the reporting thread, as the
    // install pipeline does.
    std::unique_ptr<CCurlDownloader> Make(const std::string& url) {
        auto downloader = std::make_unique<CCurlDownloader>(
            log_.Callback([this](int32_t code) {
                if (code == DL_CODE_RETRY) restart_->Start();
            }),
            Wide(url), WidePathIn(folder_, "package.exe"), time_.Timings());
        restart_ = downloader.get();
        return downloader;
    }

    TempFolder folder_;
    FakeTime time_;
    StatusLog log_;
    CCurlDownloader* restart_ = nullptr;
};

TEST_F(CCurlDownloaderTest, DownloadsAndChecksTheMd5FromTheAddress) {
    DownloadService service(3 * kMiB);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());

    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(log_.Entries().front().value, 1.0);
    EXPECT_EQ(log_.Last().text, L"LibCurl");
    const auto progress = log_.ProgressValues();
    ASSERT_FALSE(progress.empty());
    for (double value : progress) {
        EXPECT_GT(value, 0.0);
        EXPECT_LE(value, 1.0);
    }
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CCurlDownloaderTest, AcceptsAnAddressWithoutMd5AfterSayingSo) {
    auto options = DownloadService::WithSize(2 * kMiB);
    options.md5Folder = "files";
    DownloadService service(options);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());

    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_SUCCESS}));
    EXPECT_EQ(log_.Entries()[log_.Entries().size() - 2].text, L"curl获取url-md5失败");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CCurlDownloaderTest, Md5MismatchRestartsOnceFromTheReportingThreadThenFails) {
    // Capitals in the address never equal the file's lower-case MD5.
    auto options = DownloadService::WithSize(2 * kMiB);
    options.upperCaseMd5 = true;
    DownloadService service(options);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());

    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_RETRY, DL_CODE_START,
                                                  DL_CODE_MESSAGE, DL_CODE_FAIL}));
    for (const auto& e : log_.Entries()) {
        if (e.code == DL_CODE_MESSAGE) {
            EXPECT_EQ(e.text, L"curl文件md5校验失败");
        }
        if (e.code == DL_CODE_RETRY || e.code == DL_CODE_FAIL) {
            EXPECT_EQ(e.value, 0.0);
        }
    }
    // The restart downloads the whole file again; both runs resolved the address once.
    EXPECT_EQ(service.CountRequests("GET"), 2u);
    EXPECT_EQ(service.CountRequests("HEAD"), 3u);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CCurlDownloaderTest, RetryBudgetCountsPartialFilesAsHalfAFailure) {
    ServiceFaults serverError;
    serverError.getStatus = 500;
    ServiceFaults dropped;
    dropped.dropAfter = 1000;
    struct Case {
        const char* name;
        std::vector<ServiceFaults> faults;  // repeated as long as needed
        size_t attempts;
        double finalValue;
    };
    const Case cases[] = {
        {"every attempt 22", {serverError}, 6, CURLE_HTTP_RETURNED_ERROR},
        {"every attempt 18", {dropped}, 12, CURLE_PARTIAL_FILE},
        {"18 and 22 alternating", {dropped, serverError}, 8, CURLE_HTTP_RETURNED_ERROR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(2 * kMiB);
        std::vector<ServiceFaults> sequence;
        while (sequence.size() < 20) sequence.insert(sequence.end(), c.faults.begin(), c.faults.end());
        service.SetFaultSequence(sequence);
        FakeTime time;
        StatusLog log;
        {
            CCurlDownloader downloader(log.Callback(), Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"),
                                       time.Timings());
            downloader.Start();
            ASSERT_TRUE(log.WaitForEnd());
        }
        EXPECT_EQ(log.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_EQ(log.Last().value, c.finalValue);
        EXPECT_EQ(log.Last().text, L"LibCurl");
        EXPECT_EQ(service.CountRequests("GET"), c.attempts);
        EXPECT_EQ(time.Pauses(), std::vector<milliseconds>(c.attempts - 1, milliseconds(500)));
    }
}

TEST_F(CCurlDownloaderTest, AResumeAfterADroppedConnectionPassesTheCheck) {
    DownloadService service(3 * kMiB);
    ServiceFaults faults;
    faults.dropAfter = 300000;
    faults.faultyGets = 1;
    service.SetFaults(faults);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(service.Requests().back().range, "bytes=300000-");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CCurlDownloaderTest, WrongBytesAroundAResumeFailTheCheckAndTheRestartRepairsThem) {
    // The first GET drops after 300000 bytes; the part file then holds them when the run
    // pauses before resuming.
    ServiceFaults dropped;
    dropped.dropAfter = 300000;
    ServiceFaults droppedWrong = dropped;
    droppedWrong.wrongBytes = true;
    ServiceFaults wrong;
    wrong.wrongBytes = true;
    struct Case {
        const char* name;
        std::vector<ServiceFaults> faults;
        bool spoilPartFileInPause;
    };
    const Case cases[] = {
        {"wrong bytes before the resume", {droppedWrong}, false},
        {"wrong bytes after the resume", {dropped, wrong}, false},
        {"part file overwritten during the pause", {dropped}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(3 * kMiB);
        service.SetFaultSequence(c.faults);
        StatusLog log;
        Download::DownloadTimings timings = time_.Timings();
        timings.sleep = [&](milliseconds) {
            if (c.spoilPartFileInPause) {
                OverwriteStart(PathIn(folder_, "package.exe.part"));
            }
        };
        CCurlDownloader* self = nullptr;
        {
            CCurlDownloader downloader(log.Callback([&](int32_t code) {
                                           if (code == DL_CODE_RETRY) self->Start();
                                       }),
                                       Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), timings);
            self = &downloader;
            downloader.Start();
            ASSERT_TRUE(log.WaitForEnd());
        }
        EXPECT_EQ(log.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_RETRY, DL_CODE_START,
                                                     DL_CODE_SUCCESS}));
        EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
    }
}

TEST_F(CCurlDownloaderTest, TooSmallAFileFailsWithTheClientsCode) {
    DownloadService service(900 * 1024);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(log_.Last().value, CurlClient::kNoUsableLength);
    EXPECT_EQ(service.CountRequests("GET"), 0u);
}

TEST_F(CCurlDownloaderTest, RetriesAfterAStallAndCompletes) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.stallAfter = 0;
    faults.faultyGets = 1;
    service.SetFaults(faults);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(time_.Pauses(), std::vector<milliseconds>{milliseconds(500)});
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CCurlDownloaderTest, DeletesAPartFileLeftByAnEarlierRun) {
    DownloadService service(2 * kMiB);
    WriteFile(PathIn(folder_, "package.exe.part"), "stale bytes from another package");
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(service.Requests().back().range, "");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CCurlDownloaderTest, DestroyingTheDownloaderStopsAStalledRunWithoutReports) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.stallAfter = 0;
    service.SetFaults(faults);
    Download::DownloadTimings timings = time_.Timings();
    timings.lowSpeedTime = std::chrono::seconds(60);
    auto downloader = std::make_unique<CCurlDownloader>(log_.Callback(), Wide(service.ProductUrl()),
                                                        WidePathIn(folder_, "package.exe"), timings);
    downloader->Start();
    while (service.CountRequests("GET") == 0) std::this_thread::yield();
    downloader.reset();
    EXPECT_EQ(log_.Codes(), std::vector<int32_t>{DL_CODE_START});
    EXPECT_FALSE(std::filesystem::exists(PathIn(folder_, "package.exe.part")));
}

TEST_F(CCurlDownloaderTest, RefusesAServerCertificateNobodyVouchesFor) {
    const auto certificate = testsupport::WriteSelfSignedCertificate(PathIn(folder_, ""));
    ASSERT_FALSE(certificate.certificateFile.empty());
    auto options = DownloadService::WithSize(2 * kMiB);
    options.certificateFile = certificate.certificateFile;
    options.keyFile = certificate.keyFile;
    DownloadService service(options);
    auto downloader = Make(service.ProductUrl());
    ::testing::internal::CaptureStderr();
    downloader->Start();
    const bool ended = log_.WaitForEnd();
    const std::string trace = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ended);
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_NE(trace.find("error:60:"), std::string::npos) << trace.substr(0, 2000);
    EXPECT_EQ(service.CountRequests("GET") + service.CountRequests("HEAD"), 0u);
    EXPECT_FALSE(std::filesystem::exists(PathIn(folder_, "package.exe")));
}

}  // namespace
