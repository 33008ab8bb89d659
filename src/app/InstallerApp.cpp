#include "src/app/InstallerApp.h"

#include <cstdio>

#include "platform/Text.h"
#include "src/core/InstallRecords.h"
#include "src/core/InstallerSettings.h"
#include "src/app/UnattendedInstall.h"

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

}  // namespace

int InstallerApp::RunMainWindow() {
    const auto switches = ParseCommandLine(commandLine_);
    if (switches.contains(L"-silent")) return UnattendedInstall(switches).Run();
    PrintSettingsAndRecord();
    std::fprintf(stderr, "mavrix-installer: this build has no wizard window yet\n");
    return kExitNoWindow;
}
