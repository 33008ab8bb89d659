#include "src/windows/CInstallAnalytics.h"

#include "src/windows/InstallerAnalytics.h"

namespace {

// The pipeline's status codes that carry analytics events.
constexpr int kDownloadStart = 1001;
constexpr int kDownloadSuccess = 1003;
constexpr int kDownloadFail = 1004;
constexpr int kDownloadMessage = 1006;
constexpr int kInstallSuccess = 2003;
constexpr int kInstallFail = 2004;

}  // namespace

CInstallAnalytics::CInstallAnalytics(std::wstring abGroup, std::wstring packagePath)
    : abGroup_(std::move(abGroup)), packagePath_(std::move(packagePath)) {}

void CInstallAnalytics::ReportDownloaderStart() {
    if (downloaderStartReported_) return;
    downloaderStartReported_ = true;
    ReportTaskEvent(L"下载器启动", L"", 0, {{L"AB", abGroup_}});
}

void CInstallAnalytics::OnStatus(int code, double value, const std::wstring& text) {
    const AnalyticsProperties ab = {{L"AB", abGroup_}};
    switch (code) {
        case kDownloadStart:
            ReportDownloaderStart();
            elapsed_.Start();
            ReportTaskEvent(L"开始下载大包", L"", 0, ab);
            break;
        case kDownloadSuccess:
            ReportTaskEvent(L"大包下载完毕", L"", elapsed_.ElapsedSeconds(), ab);
            break;
        case kDownloadFail:
            ReportTaskEvent(L"下载失败原因", FormatDownloadFailureReason(value, text, packagePath_), 0, ab);
            break;
        case kDownloadMessage:
            ReportTaskEvent(L"下载失败原因", FormatStatusReason(value, text), 0, ab);
            break;
        case kInstallSuccess:
            ReportTaskEvent(L"安装成功", L"", elapsed_.ElapsedSeconds(), ab);
            break;
        case kInstallFail:
            ReportTaskEvent(L"安装失败原因", FormatStatusReason(value, text), 0, ab);
            break;
        default:
            break;
    }
}
