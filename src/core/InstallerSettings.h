#pragma once
// The process-wide settings record: built-in defaults, then the settings file beside the
// executable, then the command-line switches, each layer overriding the one before.
// Written on the first thread during start-up only; read everywhere afterwards.
#include <map>
#include <string>
#include <utility>

struct InstallerSettings {
    std::wstring AppName = L"Mavrix";
    std::wstring AppVersion = L"1.7.9";
    std::wstring ExeName = L"NULL";
    std::wstring DlAppNameSuffix = L".downloader";
    std::wstring DlAppVersion;
    std::wstring InstCmd;
    std::wstring DownloadUrl;
    int DownloadType = 1;
    bool IsCheckNet = false;
    bool IsEnableAppTelemetry = true;
    double DownloadScale = 0.7;
    bool LibcurlReady = true;
    std::wstring AbGroup = L"IN";
    // The whole analytics collection address of this deployment; empty: the built-in one.
    std::wstring TelemetryServerUrl;

    // The defaults, with the route applied to the built-in address.
    InstallerSettings();

    // Fills ExeName from `executablePath` and, when "VarnoInstallerConfig.ini" exists in
    // its folder, every field that has a key there.
    void ReadSettingsFile(const std::wstring& executablePath);
    // Overwrites each field whose switch is present on `commandLine`.
    void ApplyCommandLine(const std::wstring& commandLine);
};

// The record of this process: defaults and the settings file beside the running
// executable are applied on first use (during static initialisation of the installer).
InstallerSettings& Settings();

inline constexpr wchar_t kDefaultDownloadUrl[] = L"http://dl.mavrix.varnosoft.com/software/243";
inline constexpr wchar_t kSettingsFileName[] = L"VarnoInstallerConfig.ini";

// Splits a command line by the system's quoting rules into switch keys and values: "-k=v"
// gives key "-k" and value "v"; every other argument is a key with an empty value. The
// first occurrence of a key wins; keys are case-sensitive.
std::map<std::wstring, std::wstring> ParseCommandLine(const std::wstring& commandLine);

// Replaces every "${ROUTE}" in `address` by the download route for this system.
std::wstring ApplyDownloadRoute(const std::wstring& address);

// The route for a system of that version name: only the oldest systems get their own, and
// a 64-bit package exists for some products only (not for this one).
std::wstring ChooseDownloadRoute(const std::wstring& versionName, bool is64BitSystem);

// The platform name and the version name that the route choice reads.
std::pair<std::wstring, std::wstring> GetOsVersionName();
bool IsWow64System();
