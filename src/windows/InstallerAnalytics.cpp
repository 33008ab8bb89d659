#include "src/windows/InstallerAnalytics.h"

#include <atomic>
#include <cwchar>
#include <fstream>
#include <vector>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "src/core/DebugLog.h"
#include "src/core/InstallerSettings.h"
#include "src/utils/SystemProbes.h"
#include "src/windows/AnalyticsEnvironment.h"
#include "telemetry/source/src/TelemetryTrackerInstance.h"
#include "telemetry/source/src/VnException.h"

using namespace varno::telemetry;

namespace {

std::atomic<bool> libcurlFailureHeld{false};
std::atomic<int> screenWidth{0};
std::atomic<int> screenHeight{0};

bool Enabled() { return Settings().IsEnableAppTelemetry; }

// The process-wide tracker, when analytics is on and started.
std::shared_ptr<TelemetryTrackerWrapper> Tracker() { return Enabled() ? GetTelemetryTracker() : nullptr; }

// A fresh context with the A/B group for `kind`, when the extra properties carry a valid one.
VnContextProperties Context(const AnalyticsProperties& extra, VnEventType kind) {
    VnContextProperties context;
    const auto ab = extra.find(L"AB");
    if (ab == extra.end()) return context;
    try {
        const std::string value = platform::WideToUtf8(ab->second);
        if (VnContextProperties::isValidABValue(value)) context.setProperty(value, {kind});
    } catch (const VnException& e) {
        DebugLog(L"A/B group refused: %s\r\n", platform::Utf8ToWide(e.what()).c_str());
    }
    return context;
}

// swprintf into a buffer as large as the text needs: a long package message is kept whole.
template <class... Args>
std::wstring Format(size_t textLength, const wchar_t* format, Args... args) {
    std::vector<wchar_t> buffer(textLength + 256);
    const int n = std::swprintf(buffer.data(), buffer.size(), format, args...);
    return n < 0 ? std::wstring() : std::wstring(buffer.data(), static_cast<size_t>(n));
}

}  // namespace

void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsed,
                     const AnalyticsProperties& extra) {
    const auto tracker = Tracker();
    if (!tracker) return;
    VnEventTask task;
    task.name = platform::WideToUtf8(name);
    task.reason = platform::WideToUtf8(reason);
    task.elapsed = elapsed;
    task.result = VnResult::Success;
    tracker->trackTask(task, Context(extra, VnEventType::Task));
}

void ReportClickEvent(const AnalyticsProperties& extra, const std::wstring& buttonText) {
    const auto tracker = Tracker();
    if (!tracker) return;
    VnEventClick click;
    click.name = platform::WideToUtf8(buttonText);
    click.clickType = ClickType::Button;
    tracker->trackClick(click, Context(extra, VnEventType::Click));
}

void ReportViewEvent(const AnalyticsProperties& extra) {
    const auto tracker = Tracker();
    if (!tracker) return;
    VnEventView view;
    view.name = "\xE5\xAE\x89\xE8\xA3\x85\xE4\xB8\xAD";  // 安装中
    tracker->trackView(view, Context(extra, VnEventType::View));
}

void ReportCrashEvent() {
    if (const auto tracker = Tracker()) tracker->trackCrash("\xE5\xB4\xA9\xE6\xBA\x83");  // 崩溃
}

void StartAnalytics() {
    if (!Enabled()) return;
    const InstallerSettings& s = Settings();
    TrackerConfig config;
    config.appName = platform::WideToUtf8(s.AppName + s.DlAppNameSuffix);
    config.appVersion = platform::WideToUtf8(s.AppVersion);
    config.appStore = platform::WideToUtf8(s.ExeName);
    config.dlAppId = platform::WideToUtf8(s.AppName);
    config.dlAppVersion = platform::WideToUtf8(s.DlAppVersion);
    config.serverUrl = platform::WideToUtf8(s.TelemetryServerUrl);
    CreateTelemetryTracker(config, MakeAnalyticsEnvironment(screenWidth, screenHeight));
    if (libcurlFailureHeld.exchange(false)) ReportLibcurlInitFailed();
}

void StopAnalytics() {
    if (Enabled()) ShutdownTelemetryTracker();
}

void ReportCrash() {
    if (!Enabled()) return;
    ReportTaskEvent(L"崩溃退出", L"", 0, {{L"AB", L"IN"}});
    ReportCrashEvent();
    StopAnalytics();
}

void ReportLibcurlInitFailed() {
    if (!Enabled()) return;
    if (!GetTelemetryTracker()) {
        libcurlFailureHeld = true;
        return;
    }
    ReportTaskEvent(L"libcurl初始化失败", L"", 0, {{L"AB", L"IN"}});
}

void SetAnalyticsScreenSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
}

std::wstring FormatStatusReason(double value, const std::wstring& text) {
    return Format(text.size(), L":1.code=%ld；2.msg=%ls", static_cast<long>(value), text.c_str());
}

std::wstring PackageWritePermissionText(const std::wstring& packagePath) {
    constexpr wchar_t kGranted[] = L"可读";
    constexpr wchar_t kRefused[] = L"无权限";
    if (platform::PathExists(packagePath) && !platform::RemoveFile(packagePath).ok()) return kRefused;
    {
        std::ofstream probe(platform::WideToUtf8(packagePath), std::ios::binary | std::ios::trunc);
        if (!probe) return kRefused;
    }
    (void)platform::RemoveFile(packagePath);
    return kGranted;
}

std::wstring FormatDownloadFailureReason(double value, const std::wstring& text, const std::wstring& packagePath) {
    Utils::HardDiskManager disk;
    disk.CheckFreeSpace(platform::FolderPart(packagePath));
    const double freeGiB = static_cast<double>(disk.freeBytesAvailable) / (1024.0 * 1024.0 * 1024.0);
    const std::wstring permission = PackageWritePermissionText(packagePath);
    const int network = static_cast<int>(Utils::CheckNetwork());
    return Format(text.size(), L"1.code=%ld；2.msg=%ls；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%ls；5.服务器连接状态code=%d",
                  static_cast<long>(value), text.c_str(), freeGiB, permission.c_str(), network);
}
