#include "src/download/CWinDownloader.h"

#include "download/DownloadTestSupport.h"

using namespace DownloadTest;
using testsupport::DownloadService;
using testsupport::ServiceFaults;
using std::chrono::milliseconds;

namespace {

constexpr int64_t kMiB = 1048576;

TEST(CWinDownloaderEncodeUrl, EscapesWhatIsNotPrintableAscii) {
    struct Case {
        std::wstring url;
        std::wstring encoded;
    };
    const Case cases[] = {
        {L"http://h/a b/c.exe", L"http://h/a+b/c.exe"},
        {L"http://h/下/c.exe", L"http://h/%E4%B8%8B/c.exe"},
        {L"http://h:80/%20/x?y=1&z", L"http://h:80/%20/x?y=1&z"},
        {L"http://h/\x7f\t", L"http://h/%7F%09"},
        {L"file:///tmp/a b/下", L"file:///tmp/a b/下"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CWinDownloader::EncodeUrl(c.url), c.encoded);
    }
}

class CWinDownloaderTest : public ::testing::Test {
protected:
    TempFolder folder_;
    FakeTime time_;
    StatusLog log_;
};

TEST_F(CWinDownloaderTest, DownloadsThroughRedirects) {
    DownloadService service(3 * kMiB);
    CWinDownloader downloader(log_.Callback(), Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"),
                              time_.Timings());
    downloader.Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(log_.Last().text, L"URLDownloadToFile");
    const auto progress = log_.ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CWinDownloaderTest, ThreeAttemptsASecondApartThenTheFailuresCode) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.getStatus = 500;
    service.SetFaults(faults);
    CWinDownloader downloader(log_.Callback(), Wide(service.ProductUrl()), WidePathIn(folder_, "package.exe"),
                              time_.Timings());
    downloader.Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_FAIL}));
    EXPECT_EQ(log_.Last().value, 500.0);
    EXPECT_EQ(log_.Last().text, L"URLDownloadToFile");
    EXPECT_EQ(service.CountRequests("GET"), 3u * 3u);  // each attempt follows two redirects
    EXPECT_EQ(time_.Pauses(), std::vector<milliseconds>(3, milliseconds(1000)));
}

TEST_F(CWinDownloaderTest, RequestsTheEncodedAddressAndRelaysNoProgressOfUnknownSize) {
    auto options = DownloadService::WithSize(2 * kMiB);
    options.md5Folder = "a+b";
    DownloadService service(options);
    ServiceFaults faults;
    faults.noContentLength = true;
    service.SetFaults(faults);
    const std::string url = service.FileUrl();
    CWinDownloader downloader(log_.Callback(), Wide(url.substr(0, url.find("a+b"))) + L"a b/package.exe",
                              WidePathIn(folder_, "package.exe"), time_.Timings());
    downloader.Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_TRUE(log_.ProgressValues().empty());
    EXPECT_EQ(service.Requests().back().path, "/a+b/package.exe");
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

TEST_F(CWinDownloaderTest, ABodyCutShortIsAFailedAttempt) {
    DownloadService service(2 * kMiB);
    ServiceFaults faults;
    faults.dropAfter = 1000;
    faults.faultyGets = 1;
    service.SetFaults(faults);
    CWinDownloader downloader(log_.Callback(), Wide(service.FileUrl()), WidePathIn(folder_, "package.exe"),
                              time_.Timings());
    downloader.Start();
    ASSERT_TRUE(log_.WaitForEnd());
    EXPECT_EQ(log_.Codes(), (std::vector<int32_t>{DL_CODE_START, DL_CODE_SUCCESS}));
    EXPECT_EQ(time_.Pauses(), std::vector<milliseconds>{milliseconds(1000)});
    EXPECT_TRUE(service.FileMatches(PathIn(folder_, "package.exe")));
}

}  // namespace
