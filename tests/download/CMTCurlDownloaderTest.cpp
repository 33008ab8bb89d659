#include "src/download/CMTCurlDownloader.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "download/DownloadTestSupport.h"
#include "src/core/InstallerSettings.h"
#include "support/download_service/SelfSignedCertificate.h"

using namespace DownloadTest;
using testsupport::DownloadService;
using testsupport::ServiceFaults;
using std::chrono::milliseconds;

namespace {

constexpr int64_t kMiB = 1048576;
constexpr int64_t k25MiB = 25 * kMiB;
constexpr int64_t kSecondSegment = 13107200;  // where the second of two 12.5 MiB segments of 25 MiB starts

class CMTCurlDownloaderTest : public ::testing::Test {
protected:
    // The owner restarts the downloader on 1005 from the reporting thread, as the install
    // pipeline does; `reaction` runs first for every report.
    std::unique_ptr<CMTCurlDownloader> Make(const std::string& url, std::function<void(int32_t)> reaction = {}) {
        auto downloader = std::make_unique<CMTCurlDownloader>(
            log_.Callback([this, reaction](int32_t code) {
                if (reaction) reaction(code);
                if (code == DL_CODE_RETRY) restart_->Start();
            }),
            Wide(url), WidePathIn(folder_, "package.exe"), time_.Timings());
        restart_ = downloader.get();
        return downloader;
    }

    std::vector<std::string> Ranges(const DownloadService& service) const {
        std::vector<std::string> ranges;
        for (const auto& r : service.Requests()) {
            if (r.method == "GET") ranges.push_back(r.range);
        }
        std::sort(ranges.begin(), ranges.end());
        return ranges;
    }
    bool NoPartFiles() const {
        return !std::filesystem::exists(PathIn(folder_, "package.exe_0")) &&
               !std::filesystem::exists(PathIn(folder_, "package.exe_1"));
    }
    static testsupport::ServiceOptions NoMd5(int64_t size) {
        auto options = DownloadService::WithSize(size);
        options.md5Folder = "files";
        return options;
    }

    TempFolder folder_;
    FakeTime time_;
    StatusLog log_;
    CMTCurlDownloader* restart_ = nullptr;
};

TEST_F(CMTCurlDownloaderTest, SplitsTheFileIntoOneOrTwoRangesAndJoinsThem) {
    struct Case {
        int64_t size;
        std::vector<std::string> ranges;
    };
    const Case cases[] = {
        {15728640, {"bytes=0-15728639"}},
        {26214400, {"bytes=0-13107199", "bytes=13107200-26214399"}},
        {20971521, {"bytes=0-10485759", "bytes=10485760-20971520"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        DownloadService service(c.size);
        StatusLog log;
        {
            CMTCurlDownloader downloader(log.Callback(), Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"),
                                         time_.Timings());
            downloader.Start();
            ASSERT_TRUE(log.WaitForEnd());
        }
        EXPECT_EQ(log.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
        EXPECT_EQ(log.Last().text, L"LibCurl");
        EXPECT_EQ(Ranges(service), c.ranges);
        EXPECT_EQ(service.CountRequests("HEAD"), 3u);
        EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
        EXPECT_TRUE(NoPartFiles());
        const auto progress = log.ProgressValues();
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_LE(progress.back(), 1.0);
    }
}

TEST_F(CMTCurlDownloaderTest, AcceptsAnAddressWithoutMd5AfterSayingSo) {
    DownloadService service(NoMd5(2 * kMiB));
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_SUCCESS}));
    EXPECT_EQ(log_.Entries()[log_.Entries().size() - 2].text, L"mtcurl获取url-md5失败");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CMTCurlDownloaderTest, Md5MismatchRestartsOnceFromTheWaitingThreadThenFails) {
    auto options = DownloadService::WithSize(k25MiB);
    options.upperCaseMd5 = true;
    DownloadService service(options);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());

    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_RETRY, DL_CODE_START,
                                                  DL_CODE_MESSAGE, DL_CODE_FAIL}));
    for (const auto& e : log_.Entries()) {
        if (e.code == DL_CODE_MESSAGE) {
            EXPECT_EQ(e.text, L"mtcurl文件md5校验失败");
        }
    }
    // The restart fetched both segments from their first byte again.
    EXPECT_EQ(Ranges(service), (std::vector<std::string>{"bytes=0-13107199", "bytes=0-13107199",
                                                         "bytes=13107200-26214399", "bytes=13107200-26214399"}));
    EXPECT_FALSE(std::filesystem::exists(PathIn(folder_, "package.exe")));
    EXPECT_TRUE(NoPartFiles());
}

TEST_F(CMTCurlDownloaderTest, AnUnusableHeaderAnswerFailsAtOnce) {
    struct Case {
        const char* name;
        int64_t size;
        ServiceFaults faults;
    };
    ServiceFaults notFound;
    notFound.headStatus = 404;
    ServiceFaults noLength;
    noLength.noContentLength = true;
    ServiceFaults loop;
    loop.redirectLoop = true;
    const Case cases[] = {
        {"255 bytes", 255, {}},
        {"404", 2 * kMiB, notFound},
        {"no length", 2 * kMiB, noLength},
        {"redirect loop", 2 * kMiB, loop},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(NoMd5(c.size));
        service.SetFaults(c.faults);
        StatusLog log;
        {
            CMTCurlDownloader downloader(log.Callback(), Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"),
                                         time_.Timings());
            downloader.Start();
            ASSERT_TRUE(log.WaitForEnd());
        }
        EXPECT_EQ(log.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_FAIL}));
        EXPECT_EQ(log.Last().value, 0.0);
        EXPECT_EQ(service.CountRequests("GET"), 0u);
    }
}

TEST_F(CMTCurlDownloaderTest, AcceptsTheSmallestLength) {
    DownloadService service(NoMd5(256));
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Last().code, DL_CODE_SUCCESS);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CMTCurlDownloaderTest, RefusesToStartWhenLibcurlIsNotReady) {
    DownloadService service(2 * kMiB);
    Settings().LibcurlReady = false;
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    const bool ended = log_.WaitForEnd();
    downloader.reset();
    Settings().LibcurlReady = true;
    ASSERT_TRUE(ended);
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_TRUE(service.Requests().empty());
}

TEST_F(CMTCurlDownloaderTest, FailingSegmentRestartsTheRunWhichResumesTheOtherSegment) {
    DownloadService service(k25MiB);
    ServiceFaults faults;
    faults.getStatus = 500;
    faults.faultTo = 0;      // only the first segment
    faults.faultyGets = 7;   // every attempt of the first run
    service.SetFaults(faults);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());

    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
    for (const auto& e : log_.Entries()) {
        if (e.code == DL_CODE_RETRY) {
            EXPECT_EQ(e.value, CURLE_HTTP_RETURNED_ERROR);
        }
    }
    // The second segment was complete on disk, so the restart fetched only the first.
    auto ranges = Ranges(service);
    EXPECT_EQ(std::count(ranges.begin(), ranges.end(), "bytes=0-13107199"), 8);
    EXPECT_EQ(std::count(ranges.begin(), ranges.end(), "bytes=13107200-26214399"), 1);
    EXPECT_EQ(ranges.size(), 9u);
    size_t retryPauses = 0;
    for (auto pause : time_.Pauses()) retryPauses += pause == milliseconds(400);
    EXPECT_EQ(retryPauses, 6u);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CMTCurlDownloaderTest, WrongBytesInEitherSegmentFailTheCheckAndTheRestartRepairsThem) {
    struct Case {
        const char* name;
        int64_t faultFrom;
        int64_t faultTo;
        bool wrongBytes;
        bool spoilFirstPartInRetryPause;  // after the first segment's dropped first attempt
    };
    const Case cases[] = {
        {"first segment", 0, 0, true, false},
        {"second segment", kSecondSegment, kSecondSegment, true, false},
        {"first part file overwritten before its segment resumes", 0, 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(k25MiB);
        ServiceFaults faults;
        faults.wrongBytes = c.wrongBytes;
        if (c.spoilFirstPartInRetryPause) faults.dropAfter = 300000;
        faults.faultFrom = c.faultFrom;
        faults.faultTo = c.faultTo;
        faults.faultyGets = 1;
        service.SetFaults(faults);
        StatusLog log;
        Download::DownloadTimings timings = time_.Timings();
        timings.sleep = [&](milliseconds pause) {
            if (c.spoilFirstPartInRetryPause && pause == milliseconds(400)) {
                OverwriteStart(PathIn(folder_, "package.exe_0"));
            }
        };
        CMTCurlDownloader* self = nullptr;
        {
            CMTCurlDownloader downloader(log.Callback([&](int32_t code) {
                                             if (code == DL_CODE_RETRY) self->Start();
                                         }),
                                         Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), timings);
            self = &downloader;
            downloader.Start();
            ASSERT_TRUE(log.WaitForEnd());
        }
        EXPECT_EQ(log.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_RETRY, DL_CODE_START,
                                                     DL_CODE_SUCCESS}));
        EXPECT_EQ(log.Entries()[log.Entries().size() - 1].text, L"LibCurl");
        EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
    }
}

TEST_F(CMTCurlDownloaderTest, ARestartThatResumesTheFirstSegmentPassesTheCheck) {
    // Every attempt of the first run's first segment breaks off after 100000 bytes, so the
    // restart resumes a first part file of correct bytes.
    DownloadService service(k25MiB);
    ServiceFaults faults;
    faults.dropAfter = 100000;
    faults.faultTo = kSecondSegment - 1;
    service.SetFaults(faults);
    auto downloader = Make(service.ProductUrl(), [&](int32_t code) {
        if (code == DL_CODE_RETRY) service.SetFaults({});
    });
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());

    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(service.Requests().back().range, "bytes=1300000-13107199");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CMTCurlDownloaderTest, SecondFailedRunIsFinalWithTheSegmentsCode) {
    DownloadService service(k25MiB);
    ServiceFaults faults;
    faults.getStatus = 404;
    service.SetFaults(faults);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(log_.Last().value, CURLE_HTTP_RETURNED_ERROR);
    EXPECT_EQ(service.CountRequests("GET"), 2u * 2u * 7u);
    EXPECT_TRUE(NoPartFiles());
}

TEST_F(CMTCurlDownloaderTest, BadServerAnswersNeverReachTheFile) {
    ServiceFaults excess;
    excess.excessBytes = 1000;
    ServiceFaults wholeFile;
    wholeFile.ignoreRange = true;
    ServiceFaults oneByteShort;
    oneByteShort.dropAfter = kSecondSegment - 1;
    ServiceFaults stall;
    stall.stallAfter = 0;
    struct Case {
        const char* name;
        ServiceFaults faults;  // for the first GET of each segment
    };
    const Case cases[] = {
        {"more bytes than the range", excess},
        {"200 and the whole file", wholeFile},
        {"the last byte comes with a second request", oneByteShort},
        {"a stall", stall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(NoMd5(k25MiB));
        std::vector<ServiceFaults> sequence{c.faults, c.faults};
        service.SetFaultSequence(sequence);
        StatusLog log;
        FakeTime time;
        {
            CMTCurlDownloader downloader(log.Callback(), Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"),
                                         time.Timings());
            downloader.Start();
            ASSERT_TRUE(log.WaitForEnd());
        }
        EXPECT_EQ(log.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_MESSAGE, DL_CODE_SUCCESS}));
        EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
        EXPECT_LE(service.CountRequests("GET"), 4u);
    }
}

TEST_F(CMTCurlDownloaderTest, AJoinThatCannotReadAPartRestartsInsteadOfSucceeding) {
    DownloadService service(NoMd5(k25MiB));
    std::atomic<bool> removed{false};
    auto downloader = Make(service.ProductUrl(), [&](int32_t code) {
        // The second segment goes on writing into a file that no longer has a name.
        if (code == DL_CODE_PROGRESS && !removed.exchange(true)) std::remove(PathIn(folder_, "package.exe_1").c_str());
    });
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_MESSAGE,
                                                  DL_CODE_SUCCESS}));
    for (const auto& e : log_.Entries()) {
        if (e.code == DL_CODE_RETRY) {
            EXPECT_EQ(e.value, CMTCurlDownloader::kJoinFailed);
        }
    }
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CMTCurlDownloaderTest, LengthsBeyondFourGibibytesAreRangedIn64Bits) {
    const int64_t size = 5368709121;
    DownloadService service(NoMd5(size));
    ServiceFaults faults;
    faults.getStatus = 503;
    service.SetFaults(faults);
    auto downloader = Make(service.ProductUrl());
    downloader->Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_RETRY, DL_CODE_START, DL_CODE_FAIL}));
    const auto ranges = Ranges(service);
    EXPECT_EQ(ranges.front(), "bytes=0-2684354559");
    EXPECT_EQ(ranges.back(), "bytes=2684354560-5368709120");
}

TEST_F(CMTCurlDownloaderTest, DestroyingTheDownloaderStopsStalledSegmentsWithoutReports) {
    DownloadService service(k25MiB);
    ServiceFaults faults;
    faults.stallAfter = 0;
    service.SetFaults(faults);
    Download::DownloadTimings timings = time_.Timings();
    timings.lowSpeedTime = std::chrono::seconds(60);
    auto downloader = std::make_unique<CMTCurlDownloader>(log_.Callback(), Wide(service.ProductUrl()),
                                                          WidePathIn(folder_, "package.exe"), timings);
    downloader->Start();
    while (service.CountRequests("GET") < 2) std::this_thread::yield();
    downloader.reset();
    EXPECT_EQ(log_.Codes(), std::vector<int32_t>{DL_CODE_START});
    EXPECT_TRUE(NoPartFiles());
}

TEST_F(CMTCurlDownloaderTest, RefusesAServerCertificateNobodyVouchesFor) {
    const auto certificate = testsupport::WriteSelfSignedCertificate(PathIn(folder_, ""));
    ASSERT_FALSE(certificate.certificateFile.empty());
    auto options = DownloadService::WithSize(k25MiB);
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
    EXPECT_TRUE(service.Requests().empty());
}

}  // namespace
