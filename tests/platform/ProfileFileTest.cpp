#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

using platform::ProfileFile;
using testsupport::ReadFile;
using testsupport::TempFolder;

TEST(ProfileFile, ReadsWithTheProfileRules) {
    TempFolder folder;
    const std::wstring file = folder.Write("a.ini",
                                           "\xEF\xBB\xBF; comment\r\n"
                                           "[ Install ]\r\n"
                                           "  Key = first value  \r\n"
                                           "key=second\r\n"
                                           "Quoted=\"  spaced  \"\r\n"
                                           "Num= -42abc\r\n"
                                           "Hex=0x1F\r\n"
                                           "Empty=\r\n"
                                           "[install]\r\n"
                                           "Other=from the second section\r\n")
                                  .wstring();
    struct Case {
        const wchar_t* key;
        std::optional<std::wstring> value;
    };
    const Case cases[] = {
        {L"KEY", L"first value"},  // names ignore case; the first key wins
        {L"quoted", L"  spaced  "},
        {L"Empty", L""},
        {L"Other", std::nullopt},  // only the first matching section counts
        {L"Missing", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileFile::ReadString(file, L"INSTALL", c.key, 260), c.value) << c.key;
    }
    EXPECT_EQ(ProfileFile::GetString(file, L"Install", L"Key", L"", 6), L"first");  // a 6-character buffer
    EXPECT_EQ(ProfileFile::GetString(file, L"Install", L"Missing", L"fallback", 4), L"fal");
    EXPECT_EQ(ProfileFile::GetInt(file, L"Install", L"Num", 7), -42);
    EXPECT_EQ(ProfileFile::GetInt(file, L"Install", L"Hex", 7), 31);
    EXPECT_EQ(ProfileFile::GetInt(file, L"Install", L"Key", 7), 0);
    EXPECT_EQ(ProfileFile::GetInt(file, L"Install", L"Missing", 7), 7);
    EXPECT_EQ(ProfileFile::ReadString(folder.wide() + L"/none.ini", L"Install", L"Key", 260), std::nullopt);
}

TEST(ProfileFile, WritingKeepsOtherLinesAndCreatesWhatIsMissing) {
    TempFolder folder;
    const auto path = folder.Write("set.ini", "; keep me\n[Install]\nAppName=Old\n\n[Other]\nx=1\n");
    const std::wstring file = path.wstring();
    ASSERT_TRUE(ProfileFile::WriteString(file, L"install", L"APPNAME", L"Mavrix"));
    ASSERT_TRUE(ProfileFile::WriteString(file, L"Install", L"DeviceID", L"ABC"));
    ASSERT_TRUE(ProfileFile::WriteString(file, L"Uninstall", L"IsOverride", L"false"));
    EXPECT_EQ(ReadFile(path),
              "; keep me\n[Install]\nAPPNAME=Mavrix\nDeviceID=ABC\n\n[Other]\nx=1\n[Uninstall]\nIsOverride=false\n");

    const std::wstring fresh = folder.wide() + L"/new.ini";
    ASSERT_TRUE(ProfileFile::WriteString(fresh, L"Init", L"UpdateTime", L"2026-12-11 12:00:00"));
    EXPECT_EQ(ProfileFile::ReadString(fresh, L"Init", L"UpdateTime", 260), L"2026-12-11 12:00:00");
}

TEST(ProfileFile, WriteIntoAMissingFolderFails) {
    TempFolder folder;
    EXPECT_FALSE(ProfileFile::WriteString(folder.wide() + L"/no/such/set.ini", L"A", L"B", L"C"));
}

}  // namespace
