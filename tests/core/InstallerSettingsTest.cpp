#include "src/core/InstallerSettings.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

using testsupport::TempFolder;

// A settings record read from `ini` placed beside a pretend executable (no file when
// `ini` is nullopt).
InstallerSettings ReadWith(const TempFolder& folder, const std::optional<std::string>& ini) {
    if (ini) folder.Write("VarnoInstallerConfig.ini", *ini);
    InstallerSettings settings;
    settings.ReadSettingsFile((folder.path() / "setup.exe").wstring());
    return settings;
}

TEST(InstallerSettings, DefaultsWithoutSettingsFile) {
    TempFolder folder;
    const InstallerSettings s = ReadWith(folder, std::nullopt);
    EXPECT_EQ(s.ExeName, L"setup.exe");
    EXPECT_EQ(s.DownloadType, 1);
    EXPECT_FALSE(s.IsCheckNet);
    EXPECT_TRUE(s.IsEnableAppTelemetry);
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.7);
    EXPECT_EQ(s.DownloadUrl, kDefaultDownloadUrl);
    EXPECT_TRUE(s.DownloadUrl.ends_with(L"/software/243"));
    EXPECT_EQ(s.DlAppNameSuffix, L".downloader");
    EXPECT_EQ(s.AppName, L"Mavrix");
    EXPECT_EQ(s.AppVersion, L"1.7.9");
    EXPECT_EQ(s.AbGroup, L"IN");
    EXPECT_TRUE(s.LibcurlReady);
}

TEST(InstallerSettings, SettingsFileValues) {
    struct Case {
        const char* ini;
        bool checkNet;
        bool telemetry;
        int downloadType;
        double scale;
    };
    const Case cases[] = {
        {"[Install]\n", true, true, 1, 0.7},  // missing keys read as "true" / "0.7"
        {"[install]\nischecknet=TRUE\n", false, true, 1, 0.7},  // values are case-sensitive, names are not
        {"[Install]\nIsCheckNet=1\nIsEnableAppTelemetry=false\n", false, false, 1, 0.7},
        {"[Install]\nDownloadType=3\nDownloadScale=0.5abc\n", true, true, 3, 0.5},
        {"[Install]\nDownloadType=x\nDownloadScale=abc\n", true, true, 0, 0.0},
        {"[Install]\nDownloadType= -2 \nDownloadScale=  .25\n", true, true, -2, 0.25},
        {"[Install]\nDownloadScale=1e999\n", true, true, 1, 0.0},  // out of range: 0
        {"[Other]\nIsCheckNet=false\n", true, true, 1, 0.7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        TempFolder folder;
        const InstallerSettings s = ReadWith(folder, std::string(c.ini));
        EXPECT_EQ(s.IsCheckNet, c.checkNet);
        EXPECT_EQ(s.IsEnableAppTelemetry, c.telemetry);
        EXPECT_EQ(s.DownloadType, c.downloadType);
        EXPECT_DOUBLE_EQ(s.DownloadScale, c.scale);
    }
}

TEST(InstallerSettings, SettingsFileTextsAndCuts) {
    TempFolder folder;
    const std::string longUrl = "http://h/" + std::string(400, 'a');
    const InstallerSettings s = ReadWith(folder, "[Install]\nDownloadUrl=" + longUrl +
                                                     "\nDlAppNameSuffix=.dl\nm_DlAppVersion=2.0\nInstCmd=-x=1\n");
    EXPECT_EQ(s.DownloadUrl.size(), 259u);  // a 260-character buffer
    EXPECT_EQ(s.DlAppNameSuffix, L".dl");
    EXPECT_EQ(s.DlAppVersion, L"2.0");
    EXPECT_EQ(s.InstCmd, L"-x=1");
}

TEST(InstallerSettings, SwitchesOverrideTheFile) {
    TempFolder folder;
    InstallerSettings s = ReadWith(folder, "[Install]\nDownloadType=3\nIsCheckNet=true\nInstCmd=file\n");
    s.ApplyCommandLine(
        LR"(C:\setup.exe -downloadtype=2 -downloadtype=3 -ischecknet=false "-instcmd=/a b" -downloadscale=0.5x)"
        LR"( -isenableapptelemetry=True -dlappnamesuffix=.s -dlappversion=9 -DownloadUrl=ignored)");
    EXPECT_EQ(s.DownloadType, 2);  // the first occurrence wins
    EXPECT_FALSE(s.IsCheckNet);
    EXPECT_EQ(s.InstCmd, L"/a b");
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.5);
    EXPECT_FALSE(s.IsEnableAppTelemetry);  // only "true" is true
    EXPECT_EQ(s.DlAppNameSuffix, L".s");
    EXPECT_EQ(s.DlAppVersion, L"9");
    EXPECT_EQ(s.DownloadUrl, kDefaultDownloadUrl);  // switch names are case-sensitive
}

TEST(InstallerSettings, SwitchWithoutValueAndOutOfRangeNumbers) {
    InstallerSettings s;
    s.ApplyCommandLine(L"setup.exe -downloadurl -downloadtype=99999999999 -downloadscale=abc");
    EXPECT_EQ(s.DownloadUrl, L"");
    EXPECT_EQ(s.DownloadType, std::numeric_limits<int>::max());
    EXPECT_DOUBLE_EQ(s.DownloadScale, 0.0);
}

TEST(ParseCommandLine, FirstOccurrenceWinsAndKeysAreCaseSensitive) {
    struct Case {
        std::wstring line;
        std::wstring key;
        std::optional<std::wstring> value;
    };
    const Case cases[] = {
        {L"setup.exe -downloadtype=2 -downloadtype=3", L"-downloadtype", L"2"},
        {L"setup.exe -DownloadType=2", L"-downloadtype", std::nullopt},
        {L"setup.exe -downloadurl", L"-downloadurl", L""},
        {L"setup.exe -a=b=c", L"-a", L"b=c"},
        {L"setup.exe plain=x", L"plain=x", L""},
        {L"\"C:\\Program Files\\setup.exe\" -x=1", L"C:\\Program Files\\setup.exe", L""},
        {L"setup.exe \"-instcmd=-p \\\"q\\\"\"", L"-instcmd", L"-p \"q\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
        const auto map = ParseCommandLine(c.line);
        const auto it = map.find(c.key);
        if (!c.value) {
            EXPECT_EQ(it, map.end());
            continue;
        }
        ASSERT_NE(it, map.end());
        EXPECT_EQ(it->second, *c.value);
    }
}

TEST(DownloadRoute, ChosenFromTheSystemVersion) {
    struct Case {
        std::wstring version;
        bool is64;
        std::wstring route;
    };
    const Case cases[] = {
        {L"XP", false, L"download_silent_xp"}, {L"XP-", true, L"download_silent_xp"},
        {L"XP+", false, L"download_silent_xp"}, {L"10", true, L"download_silent"},
        {L"7", false, L"download_silent"},      {L"6.1.0-18-amd64", true, L"download_silent"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseDownloadRoute(c.version, c.is64), c.route);
    }
}

TEST(DownloadRoute, ReplacesEveryPlaceholder) {
    EXPECT_EQ(ApplyDownloadRoute(L"http://h/a/${ROUTE}/b/${ROUTE}"), L"http://h/a/download_silent/b/download_silent");
    EXPECT_EQ(ApplyDownloadRoute(L"http://h/software/243"), L"http://h/software/243");
    EXPECT_EQ(GetOsVersionName().first, L"Linux");
}

}  // namespace
