#include "src/core/InstallRecords.h"

#include <cstdio>
#include <vector>

#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/ProfileFile.h"
#include "platform/UserRegistry.h"
#include "src/core/InstallerSettings.h"
#include "src/utils/Accounts.h"
#include "src/utils/SystemProbes.h"

namespace {

constexpr wchar_t kUninstallerEntryName[] = L"uninst.ep";

// The user's application-data folder.
std::wstring AppDataFolder() { return platform::DataHome(); }

// A path with "." and ".." folded and no trailing "/", for comparing folders that may
// not exist yet.
std::wstring LexicallyNormal(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'/', start);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::wstring normal;
    for (const auto& part : parts) normal += L"/" + part;
    return normal.empty() ? L"/" : normal;
}

std::wstring ComparableFolder(const std::wstring& folder) {
    return platform::CanonicalPath(folder).value_or(LexicallyNormal(folder));
}

}  // namespace

bool WriteProductRegistryValue(const std::wstring& name, const std::wstring& text) {
    return static_cast<bool>(platform::UserRegistry::WriteString(kProductRegistryKey, name, text));
}

bool ReadProductRegistryValue(const std::wstring& name, std::wstring& text) {
    const auto value = platform::UserRegistry::ReadString(kProductRegistryKey, name);
    if (!value) return false;
    text = value->substr(0, value->find(L'\0'));
    return true;
}

InstallRecord ReadInstallRecord() {
    InstallRecord record;
    ReadProductRegistryValue(L"InstallPath", record.installFolder);
    ReadProductRegistryValue(L"UnInstallEp", record.uninstallerEntry);
    if (record.uninstallerEntry.empty() && !record.installFolder.empty()) {
        record.uninstallerEntry = platform::JoinPath(record.installFolder, kUninstallerEntryName);
    }
    return record;
}

void WriteInstallRecord(const std::wstring& installFolder, const std::wstring& reportedUninstallerEntry) {
    WriteProductRegistryValue(L"InstallPath", installFolder);
    const std::wstring entry = reportedUninstallerEntry.empty()
                                   ? platform::JoinPath(installFolder, kUninstallerEntryName)
                                   : reportedUninstallerEntry;
    if (platform::PathExists(entry)) WriteProductRegistryValue(L"UnInstallEp", entry);
}

void WriteSetIni(const std::wstring& installFolder) {
    using platform::ProfileFile;
    const std::wstring setIni = platform::JoinPath(installFolder, L"set.ini");
    (void)ProfileFile::WriteString(setIni, L"Install", L"APPStore", Settings().ExeName);
    (void)ProfileFile::WriteString(setIni, L"Install", L"AppName", Settings().AppName);
    (void)ProfileFile::WriteString(setIni, L"Install", L"DeviceID", MakeGuidText());

    const std::wstring dataFolder = GetAnalyticsDataFolder();
    if (!CreateDirectoryPath(dataFolder)) return;
    const std::wstring analyticsFile = platform::JoinPath(dataFolder, L"VNTelemetry.ini");
    (void)ProfileFile::WriteString(setIni, L"Install", L"VNTelemetryIni", analyticsFile);

    const platform::LocalTime now = platform::LocalTimeNow();
    wchar_t updateTime[64];
    std::swprintf(updateTime, std::size(updateTime), L"%d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    (void)ProfileFile::WriteString(analyticsFile, L"Init", L"UpdateTime", updateTime);
}

bool ReadIsOverrideOff(const std::wstring& previousFolder, const std::wstring& newFolder) {
    if (previousFolder.empty() || ComparableFolder(previousFolder) != ComparableFolder(newFolder)) return false;
    const std::wstring setIni = platform::JoinPath(newFolder, L"set.ini");
    return platform::ProfileFile::GetString(setIni, L"Uninstall", L"IsOverride", L"true", 20) == L"false";
}

DefaultInstallFolder GetDefaultInstallFolder(const std::wstring& previousFolder,
                                             const std::wstring& previousUninstallerEntry) {
    DefaultInstallFolder result;
    std::wstring consoleUser;
    result.consoleUserIsAdmin = Utils::GetConsoleSessionUserName(consoleUser) && Utils::IsAdminAccount(consoleUser);
    result.runAsAdmin = Utils::IsRunAsAdmin();

    if (!previousFolder.empty() && platform::PathExists(previousUninstallerEntry)) {
        result.folder = previousFolder;
        return result;
    }
    const std::wstring base = result.consoleUserIsAdmin && result.runAsAdmin
                                  ? platform::JoinPath(AppDataFolder(), L"varno")
                                  : platform::ProgramFilesFolder();
    result.folder = platform::JoinPath(base, Settings().AppName);
    return result;
}

std::wstring GetAnalyticsDataFolder() {
    return platform::JoinPath(platform::JoinPath(AppDataFolder(), L"VarnoData"), Settings().AppName);
}
