#include "src/core/InstallerSettings.h"

#include <cmath>
#include <cwchar>
#include <limits>

#include "platform/CommandLine.h"
#include "platform/OsVersion.h"
#include "platform/Paths.h"
#include "platform/ProfileFile.h"

namespace {

constexpr size_t kValueBufferChars = 260;
constexpr wchar_t kSection[] = L"Install";

// The route depends on the installer's product number and the products that ship a
// 64-bit package.
constexpr int kProductNumber = 492;
constexpr int kProductsWith64BitPackage[] = {267, 385, 257, 335, 318};

// The value's leading decimal integer, clamped to int's range; 0 when there is none.
int LeadingInteger(const std::wstring& value) {
    const long long number = std::wcstoll(value.c_str(), nullptr, 10);
    if (number > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (number < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(number);
}

// The value's leading decimal number; 0 when there is none or it does not fit a double.
double LeadingNumber(const std::wstring& value) {
    const double number = std::wcstod(value.c_str(), nullptr);
    return std::isfinite(number) ? number : 0.0;
}

std::wstring ReadValue(const std::wstring& file, const wchar_t* key, const std::wstring& fallback) {
    return platform::ProfileFile::GetString(file, kSection, key, fallback, kValueBufferChars);
}

}  // namespace

std::wstring ChooseDownloadRoute(const std::wstring& versionName, bool is64BitSystem) {
    if (versionName.find(L"XP") != std::wstring::npos) return L"download_silent_xp";
    for (int product : kProductsWith64BitPackage) {
        if (product == kProductNumber && is64BitSystem) return L"download_silent_64";
    }
    return L"download_silent";
}

InstallerSettings::InstallerSettings() : DownloadUrl(ApplyDownloadRoute(kDefaultDownloadUrl)) {}

void InstallerSettings::ReadSettingsFile(const std::wstring& executablePath) {
    // Step 1: the executable's own file name.
    ExeName = platform::FileNamePart(executablePath);

    // Steps 2 and 3: every key of the settings file beside the executable, in order.
    const std::wstring file = platform::JoinPath(platform::FolderPart(executablePath), kSettingsFileName);
    if (platform::PathExists(file)) {
        DownloadUrl = ApplyDownloadRoute(ReadValue(file, L"DownloadUrl", kDefaultDownloadUrl));
        DownloadType = platform::ProfileFile::GetInt(file, kSection, L"DownloadType", 1);
        IsCheckNet = ReadValue(file, L"IsCheckNet", L"true") == L"true";
        IsEnableAppTelemetry = ReadValue(file, L"IsEnableAppTelemetry", L"true") == L"true";
        DlAppNameSuffix = ReadValue(file, L"DlAppNameSuffix", L".downloader");
        DlAppVersion = ReadValue(file, L"m_DlAppVersion", L"");
        DownloadScale = LeadingNumber(ReadValue(file, L"DownloadScale", L"0.7"));
        InstCmd = ReadValue(file, L"InstCmd", L"");
        TelemetryServerUrl = ReadValue(file, L"TelemetryServerUrl", L"");
    }

    // Step 4: the product's identity is fixed.
    AppName = L"Mavrix";
    AppVersion = L"1.7.9";
}

void InstallerSettings::ApplyCommandLine(const std::wstring& commandLine) {
    const auto switches = ParseCommandLine(commandLine);
    const auto value = [&](const wchar_t* key) -> const std::wstring* {
        const auto it = switches.find(key);
        return it == switches.end() ? nullptr : &it->second;
    };
    if (auto v = value(L"-downloadurl")) DownloadUrl = ApplyDownloadRoute(*v);
    if (auto v = value(L"-downloadtype")) DownloadType = LeadingInteger(*v);
    if (auto v = value(L"-downloadscale")) DownloadScale = LeadingNumber(*v);
    if (auto v = value(L"-ischecknet")) IsCheckNet = *v == L"true";
    if (auto v = value(L"-isenableapptelemetry")) IsEnableAppTelemetry = *v == L"true";
    if (auto v = value(L"-dlappnamesuffix")) DlAppNameSuffix = *v;
    if (auto v = value(L"-dlappversion")) DlAppVersion = *v;
    if (auto v = value(L"-instcmd")) InstCmd = *v;
}

InstallerSettings& Settings() {
    static InstallerSettings settings = [] {
        InstallerSettings initial;
        initial.ReadSettingsFile(platform::ExecutablePath());
        return initial;
    }();
    return settings;
}

std::map<std::wstring, std::wstring> ParseCommandLine(const std::wstring& commandLine) {
    std::map<std::wstring, std::wstring> switches;
    for (const std::wstring& argument : platform::SplitCommandLine(commandLine)) {
        const size_t equals = argument.find(L'=');
        if (argument.starts_with(L"-") && equals != std::wstring::npos) {
            switches.emplace(argument.substr(0, equals), argument.substr(equals + 1));
        } else {
            switches.emplace(argument, L"");
        }
    }
    return switches;
}

std::wstring ApplyDownloadRoute(const std::wstring& address) {
    static constexpr std::wstring_view kPlaceholder = L"${ROUTE}";
    if (address.find(kPlaceholder) == std::wstring::npos) return address;
    const std::wstring route = ChooseDownloadRoute(GetOsVersionName().second, IsWow64System());
    std::wstring result = address;
    for (size_t at = result.find(kPlaceholder); at != std::wstring::npos; at = result.find(kPlaceholder)) {
        result.replace(at, kPlaceholder.size(), route);
    }
    return result;
}

std::pair<std::wstring, std::wstring> GetOsVersionName() {
    // This system has no Windows version; its kernel release stands in for the name, so
    // the route is never the one for the oldest systems.
    const platform::OsVersion version = platform::QueryOsVersion();
    return {L"Linux", std::wstring(version.kernelRelease.begin(), version.kernelRelease.end())};
}

bool IsWow64System() { return platform::Is64BitSystem(); }
