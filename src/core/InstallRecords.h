#pragma once
// The records an installation leaves behind: the product's key in the per-user registry,
// "set.ini" in the install folder and "VNTelemetry.ini" in the analytics data folder; and
// the rule for the default install folder. Called on the window thread.
#include <string>

inline constexpr wchar_t kProductRegistryKey[] = L"Software\\VarnoSoft\\Mavrix";

struct InstallRecord {
    std::wstring installFolder;     // "" when none is recorded
    std::wstring uninstallerEntry;  // "" when none is recorded
};

struct DefaultInstallFolder {
    std::wstring folder;
    bool consoleUserIsAdmin = false;  // handed to the package as "-adminact"
    bool runAsAdmin = false;          // handed to the package as "-authorizationact"
};

bool WriteProductRegistryValue(const std::wstring& name, const std::wstring& text);
// The value's text up to its first zero character; false when the key or value is missing.
bool ReadProductRegistryValue(const std::wstring& name, std::wstring& text);

InstallRecord ReadInstallRecord();
void WriteInstallRecord(const std::wstring& installFolder, const std::wstring& reportedUninstallerEntry);
void WriteSetIni(const std::wstring& installFolder);
// True when `newFolder` is the previous install folder and its "set.ini" says not to
// remove the old version first.
bool ReadIsOverrideOff(const std::wstring& previousFolder, const std::wstring& newFolder);
DefaultInstallFolder GetDefaultInstallFolder(const std::wstring& previousFolder,
                                             const std::wstring& previousUninstallerEntry);
std::wstring GetAnalyticsDataFolder();
