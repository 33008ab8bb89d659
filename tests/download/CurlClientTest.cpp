#include "src/download/CurlClient.h"

#include <clocale>
#include <filesystem>

#include "download/DownloadTestSupport.h"
#include "platform/Text.h"
#include "src/download/DownloadTaskEvent.h"
#include "src/utils/SystemProbes.h"

using namespace DownloadTest;
using testsupport::DownloadService;
using testsupport::ServiceFaults;

namespace {

constexpr int64_t kMiB = 1048576;

struct Event {
    std::wstring name, reason;
    Download::TaskEventProperties properties;
};

class CurlClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        Download::SetTaskEventReporter([this](const std::wstring& name, const std::wstring& reason, float,
                                              const Download::TaskEventProperties& properties) {
            events_.push_back({name, reason, properties});
        });
    }
    void TearDown() override { Download::SetTaskEventReporter({}); }

    bool Exists(const std::string& name) const { return std::filesystem::exists(PathIn(folder_, name)); }

    TempFolder folder_;
    FakeTime time_;
    std::vector<Event> events_;
};

TEST_F(CurlClientTest, DownloadsThroughRedirectsIntoTheTarget) {
    DownloadService service(3 * kMiB + 5);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    std::vector<double> percents;
    client.SetProgressFunction([&](double, double, double percent) { percents.push_back(percent); });

    ASSERT_EQ(client.Start(), 0);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
    EXPECT_FALSE(Exists("package.exe.part"));
    EXPECT_EQ(client.realUrl(), service.FileUrl());
    EXPECT_EQ(client.fileLength(), 3 * kMiB + 5);
    ASSERT_FALSE(percents.empty());
    EXPECT_LE(percents.back(), 100.0);
}

TEST_F(CurlClientTest, RefusesSmallOrUnknownLengthsWithoutMakingAPartFile) {
    struct Case {
        const char* name;
        int64_t size;
        bool noContentLength;
    };
    const Case cases[] = {
        {"900 KiB", 900 * 1024, false},
        {"one byte under 1 MiB", kMiB - 1, false},
        {"no length", 3 * kMiB, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(c.size);
        ServiceFaults faults;
        faults.noContentLength = c.noContentLength;
        service.SetFaults(faults);
        CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
        EXPECT_EQ(client.Start(), CurlClient::kNoUsableLength);
        EXPECT_FALSE(Exists("package.exe.part"));
        EXPECT_EQ(service.CountRequests("GET"), 0u);
    }
}

TEST_F(CurlClientTest, AcceptsExactlyOneMebibyte) {
    DownloadService service(kMiB);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    ASSERT_EQ(client.Start(), 0);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CurlClientTest, ResumesAPartFileAndCountsItInThePercent) {
    DownloadService service(8 * kMiB);
    WriteFile(PathIn(folder_, "package.exe.part"), DownloadService::Content(0, 5 * kMiB));
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    std::vector<double> percents;
    client.SetProgressFunction([&](double, double, double percent) { percents.push_back(percent); });

    ASSERT_EQ(client.Start(), 0);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
    EXPECT_EQ(service.Requests().back().range, "bytes=5242880-");
    ASSERT_FALSE(percents.empty());
    EXPECT_GE(percents.front(), 62.5);
}

TEST_F(CurlClientTest, RetryReusesTheResolvedAddressWithoutHeaderRequests) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.getStatus = 404;
    faults.faultyGets = 1;
    service.SetFaults(faults);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());

    EXPECT_EQ(client.Start(), CURLE_HTTP_RETURNED_ERROR);
    const size_t heads = service.CountRequests("HEAD");
    EXPECT_EQ(client.Start(), 0);
    EXPECT_EQ(service.CountRequests("HEAD"), heads);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CurlClientTest, ADroppedConnectionIsAPartialFileAndTheNextStartResumes) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.dropAfter = 300000;
    faults.faultyGets = 1;
    service.SetFaults(faults);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());

    EXPECT_EQ(client.Start(), CURLE_PARTIAL_FILE);
    EXPECT_EQ(std::filesystem::file_size(PathIn(folder_, "package.exe.part")), 300000u);
    EXPECT_EQ(client.Start(), 0);
    EXPECT_EQ(service.Requests().back().range, "bytes=300000-");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CurlClientTest, StreamedMd5IsTheMd5OfTheFileMovedIntoPlace) {
    std::string corrupted = DownloadService::Content(0, 3 * kMiB);
    corrupted[12345] = static_cast<char>(~corrupted[12345]);
    struct Case {
        const char* name;
        std::string partFile;  // left before the transfer; empty: none
        bool wanted;
        bool matchesService;
    };
    const Case cases[] = {
        {"whole file", "", true, true},
        {"resumed after correct bytes", DownloadService::Content(0, 3 * kMiB), true, true},
        {"resumed after a wrong byte", corrupted, true, false},
        {"not wanted", "", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloadService service(8 * kMiB);
        if (!c.partFile.empty()) WriteFile(PathIn(folder_, "package.exe.part"), c.partFile);
        CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
        std::string askedFor;
        client.SetMd5Wanted([&](const std::string& realUrl) {
            askedFor = realUrl;
            return c.wanted;
        });

        ASSERT_EQ(client.Start(), 0);
        EXPECT_EQ(askedFor, service.FileUrl());
        EXPECT_EQ(service.FileMatches(PathIn(folder_, "package.exe")), c.matchesService);
        EXPECT_EQ(client.streamedMd5(), c.wanted ? GetFileMd5(PathIn(folder_, "package.exe")) : "");
    }
}

TEST_F(CurlClientTest, APartFileCutShortDuringTheTransferGetsNoStreamedMd5) {
    DownloadService service(16 * kMiB);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    client.SetMd5Wanted([](const std::string&) { return true; });
    bool cut = false;
    client.SetProgressFunction([&](double, double, double) {
        std::error_code error;
        const auto size = std::filesystem::file_size(PathIn(folder_, "package.exe.part"), error);
        if (!cut && !error && size > 0) {
            std::filesystem::resize_file(PathIn(folder_, "package.exe.part"), size / 2);
            cut = true;
        }
    });

    ASSERT_EQ(client.Start(), 0);
    ASSERT_TRUE(cut);
    EXPECT_LT(static_cast<int64_t>(std::filesystem::file_size(PathIn(folder_, "package.exe"))), 16 * kMiB);
    EXPECT_EQ(client.streamedMd5(), "");
}

TEST_F(CurlClientTest, FailedHeaderRequestsAreReportedAndEndTheAttempt) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.headStatus = 500;
    service.SetFaults(faults);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());

    EXPECT_EQ(client.Start(), CurlClient::kNoUsableLength);
    // The first request and the fallback for the final address follow two redirects each;
    // the fallback for the length asks the final address once.
    EXPECT_EQ(service.CountRequests("HEAD"), 3u + 3u + 1u);
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[0].name, L"下载失败原因");
    EXPECT_EQ(events_[0].reason, L"1.获取文件大小的状态码为=500；");
    EXPECT_TRUE(events_[0].properties.empty());
    EXPECT_EQ(events_[1].reason, L"1.获取文件大小的状态码为=500；");
    EXPECT_EQ(events_[1].properties, (Download::TaskEventProperties{{L"AB", L"IN"}}));
}

TEST_F(CurlClientTest, HttpErrorStatusEndsTheTransfer) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.getStatus = 404;
    service.SetFaults(faults);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    EXPECT_EQ(client.Start(), CURLE_HTTP_RETURNED_ERROR);
    EXPECT_FALSE(Exists("package.exe"));
}

TEST_F(CurlClientTest, ReplacesATargetLeftFromAnEarlierRun) {
    DownloadService service(2 * kMiB);
    WriteFile(PathIn(folder_, "package.exe"), "old package");
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    ASSERT_EQ(client.Start(), 0);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CurlClientTest, AFailedMoveIntoPlaceIsAFailureWithTheSystemsReason) {
    DownloadService service(2 * kMiB);
    std::filesystem::create_directories(PathIn(folder_, "package.exe/in-the-way"));
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());

    EXPECT_EQ(client.Start(), CurlClient::kMoveFailed);
    EXPECT_FALSE(client.errorText().empty());
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe.part")));
}

TEST_F(CurlClientTest, StopRequestAbortsTheTransfer) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.stallAfter = 0;
    service.SetFaults(faults);
    Download::DownloadTimings timings = time_.Timings();
    timings.lowSpeedTime = std::chrono::seconds(60);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), timings);
    client.SetProgressFunction([&](double, double, double) {});
    std::thread stopper([&] {
        while (service.CountRequests("GET") == 0) std::this_thread::yield();
        client.RequestStop();
    });
    EXPECT_EQ(client.Start(), CURLE_ABORTED_BY_CALLBACK);
    stopper.join();
}

TEST_F(CurlClientTest, AStalledTransferTimesOut) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.stallAfter = 0;
    service.SetFaults(faults);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    EXPECT_EQ(client.Start(), CURLE_OPERATION_TIMEDOUT);
}

TEST_F(CurlClientTest, ARedirectLoopEndsTheAttempt) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.redirectLoop = true;
    service.SetFaults(faults);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    EXPECT_EQ(client.Start(), CurlClient::kNoUsableLength);
}

TEST_F(CurlClientTest, FileAddressWithNonAsciiPathUsesTheLocalesCharset) {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    std::filesystem::create_directories(PathIn(folder_, "下载"));
    const std::string source = PathIn(folder_, "下载/包.bin");
    WriteFile(source, DownloadService::Content(0, 2 * kMiB));
    CurlClient client(L"file://" + platform::Utf8ToWide(source), WidePathIn(folder_, "package.exe"), time_.Timings());
    EXPECT_EQ(client.Start(), 0);
    EXPECT_EQ(ReadFileRange(PathIn(folder_, "package.exe"), 0, 3 * kMiB), DownloadService::Content(0, 2 * kMiB));
    std::setlocale(LC_ALL, "C");
}

TEST_F(CurlClientTest, PartFilesBeyondFourGibibytesResume) {
    // The part file is sparse: only the last mebibyte travels.
    const int64_t size = 4 * 1024 * kMiB + 3 * kMiB;
    auto options = DownloadService::WithSize(size);
    options.md5Folder = "files";
    DownloadService service(options);
    std::ofstream(PathIn(folder_, "package.exe.part")).close();
    std::filesystem::resize_file(PathIn(folder_, "package.exe.part"), size - kMiB);
    CurlClient client(Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"), time_.Timings());
    ASSERT_EQ(client.Start(), 0);
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(PathIn(folder_, "package.exe"))), size);
    EXPECT_EQ(service.Requests().back().range, "bytes=" + std::to_string(size - kMiB) + "-");
    EXPECT_EQ(ReadFileRange(PathIn(folder_, "package.exe"), size - kMiB, kMiB), DownloadService::Content(size - kMiB, kMiB));
}

}  // namespace
