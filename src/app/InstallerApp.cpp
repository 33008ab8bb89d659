#include "src/app/InstallerApp.h"

#include <cstdio>

#include "platform/Text.h"
#include "platform/window/WindowSystem.h"
#include "src/app/UnattendedInstall.h"
#include "src/core/InstallRecords.h"
#include "src/core/InstallerSettings.h"
#include "src/download/DownloadTaskEvent.h"
#include "src/windows/CInstallAnalytics.h"
#include "src/windows/InstallerAnalytics.h"

namespace {

constexpr int kExitNoWindow = 3;

void PrintLine(const char* label, const std::wstring& value) {
    std::printf("  %-22s %s\n", label, platform::WideToUtf8(value).c_str());
}

// What the installer would work with: its settings and the installation it found.
void PrintSettingsAndRecord() {
    const InstallerSettings& s = Settings();
    std::printf("Mavrix installer %s\n", platform::WideToUtf8(s.AppVersion).c_str());
    PrintLine("ExeName", s.ExeName);
    PrintLine("DownloadUrl", s.DownloadUrl);
    PrintLine("DownloadType", std::to_wstring(s.DownloadType));
    PrintLine("DownloadScale", std::to_wstring(s.DownloadScale));
    PrintLine("IsCheckNet", s.IsCheckNet ? L"true" : L"false");
    PrintLine("IsEnableAppTelemetry", s.IsEnableAppTelemetry ? L"true" : L"false");
    PrintLine("InstCmd", s.InstCmd);
    const InstallRecord record = ReadInstallRecord();
    const DefaultInstallFolder folder = GetDefaultInstallFolder(record.installFolder, record.uninstallerEntry);
    PrintLine("previous install", record.installFolder.empty() ? L"(none)" : record.installFolder);
    PrintLine("install folder", folder.folder);
}

// The unattended install's milestones become the same analytics events the window sends.
class AnalyticsObserver : public IUnattendedObserver {
public:
    void OnStatus(const StatusRecord& record, const std::wstring& packagePath) override {
        analytics_.SetPackagePath(packagePath);
        analytics_.OnStatus(record.code, record.value, record.text);
    }

private:
    CInstallAnalytics analytics_{Settings().AbGroup, L""};
};

}  // namespace

void InstallerApp::OnLibcurlInitFailed() { ReportLibcurlInitFailed(); }

void InstallerApp::StartAnalytics() {
    // The screen size the analytics reports comes from the display when there is one.
    if (Settings().IsEnableAppTelemetry && platform::ui::InitializeWindowSystemFromEnvironment()) {
        const platform::ui::Size screen = platform::ui::GetScreenSize();
        SetAnalyticsScreenSize(screen.cx, screen.cy);
    }
    Download::SetTaskEventReporter(ReportTaskEvent);
    ::StartAnalytics();
}

void InstallerApp::StopAnalytics() {
    ::StopAnalytics();
    Download::SetTaskEventReporter({});
}

void InstallerApp::DestroyMainWindow() {
    if (platform::ui::IsWindowSystemInitialized()) platform::ui::ShutdownWindowSystem();
}

int InstallerApp::RunMainWindow() {
    const auto switches = ParseCommandLine(commandLine_);
    if (switches.contains(L"-silent")) {
        AnalyticsObserver observer;
        return UnattendedInstall(switches, &observer).Run();
    }
    PrintSettingsAndRecord();
    std::fprintf(stderr, "mavrix-installer: this build has no wizard window yet; use -silent to install\n");
    return kExitNoWindow;
}

void InstallerApp::ReportCrash(int /*signal*/) { ::ReportCrash(); }
