#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Text.h"
#include "src/core/InstallerSettings.h"
#include "src/pipeline/CDownloadInstaller.h"
#include "support/TempFolder.h"
#include "support/download_service/DownloadService.h"
#include "tests/pipeline/StatusRecorder.h"

namespace {

using testsupport::ScopedEnv;
using testsupport::TempFolder;

// The downloader follows DownloadType: the system downloader asks no header request first,
// the segmented one fetches two ranges, every other value one stream after header requests.
TEST(PipelineDownloader, ChosenByDownloadType) {
    struct Case {
        int downloadType;
        bool headRequests;
        size_t rangedGets;
    };
    const Case cases[] = {{1, true, 0}, {0, true, 0}, {5, true, 0}, {3, true, 2}, {2, false, 0}};
    TempFolder home;
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path().string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.downloadType);
        testsupport::DownloadService service(25 * 1024 * 1024);
        Settings().DownloadType = c.downloadType;
        StatusRecorder recorder;
        {
            CDownloadInstaller pipeline(recorder.Callback(), L"", L"", L"", true, true, true);
            pipeline.SetParams(platform::Utf8ToWide(service.ProductUrl()), L"",
                               (home / ("type" + std::to_string(c.downloadType))).wstring(), true, true, false, false);
            pipeline.Start();
            ASSERT_TRUE(recorder.WaitFor(IST_CODE_FAIL));
        }
        EXPECT_EQ(service.CountRequests("HEAD") > 0, c.headRequests);
        size_t ranged = 0;
        for (const auto& request : service.Requests()) ranged += request.method == "GET" && !request.range.empty();
        EXPECT_EQ(ranged, c.rangedGets);
        const auto codes = recorder.Codes();
        EXPECT_NE(std::find(codes.begin(), codes.end(), DL_CODE_SUCCESS), codes.end());
    }
    Settings().DownloadType = 1;
}

}  // namespace
