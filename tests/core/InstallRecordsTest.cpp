#include "src/core/InstallRecords.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/ProfileFile.h"
#include "support/TempFolder.h"

namespace {

using platform::ProfileFile;
using testsupport::ScopedEnv;
using testsupport::TempFolder;

// Every record lives below a temporary home: registry store, data folder, install folders.
class InstallRecordsTest : public ::testing::Test {
protected:
    TempFolder home;
    ScopedEnv config{"XDG_CONFIG_HOME", (home / "config").string()};
    ScopedEnv data{"XDG_DATA_HOME", (home / "data").string()};

    std::wstring Folder(const std::string& name) { return (home / name).wstring(); }
};

TEST_F(InstallRecordsTest, NoRecordGivesEmptyTextsAndTheDefaultFolder) {
    const InstallRecord record = ReadInstallRecord();
    EXPECT_EQ(record.installFolder, L"");
    EXPECT_EQ(record.uninstallerEntry, L"");
    const DefaultInstallFolder folder = GetDefaultInstallFolder(record.installFolder, record.uninstallerEntry);
    EXPECT_TRUE(folder.folder.ends_with(L"/Mavrix"));
    EXPECT_EQ(folder.runAsAdmin, geteuid() == 0);
}

TEST_F(InstallRecordsTest, MissingUninstallerEntryIsDerivedFromTheFolder) {
    ASSERT_TRUE(WriteProductRegistryValue(L"InstallPath", L"/opt/Old"));
    const InstallRecord record = ReadInstallRecord();
    EXPECT_EQ(record.installFolder, L"/opt/Old");
    EXPECT_EQ(record.uninstallerEntry, L"/opt/Old/uninst.ep");
    // The entry does not exist: the default folder is computed afresh.
    EXPECT_NE(GetDefaultInstallFolder(record.installFolder, record.uninstallerEntry).folder, L"/opt/Old");
}

TEST_F(InstallRecordsTest, RecordedFolderWithItsUninstallerIsKept) {
    const std::wstring folder = Folder("Custom");
    home.Write("Custom/uninst.ep", "entry");
    WriteInstallRecord(folder, L"");
    const InstallRecord record = ReadInstallRecord();
    EXPECT_EQ(record.installFolder, folder);
    EXPECT_EQ(record.uninstallerEntry, folder + L"/uninst.ep");
    EXPECT_EQ(GetDefaultInstallFolder(record.installFolder, record.uninstallerEntry).folder, folder);
}

TEST_F(InstallRecordsTest, ReportedEntryThatDoesNotExistLeavesTheOldValue) {
    home.Write("A/uninst.ep", "entry");
    WriteInstallRecord(Folder("A"), L"");
    WriteInstallRecord(Folder("B"), Folder("B") + L"/missing.ep");
    const InstallRecord record = ReadInstallRecord();
    EXPECT_EQ(record.installFolder, Folder("B"));
    EXPECT_EQ(record.uninstallerEntry, Folder("A") + L"/uninst.ep");
}

TEST_F(InstallRecordsTest, RegistryValueReadsUpToTheFirstZeroCharacter) {
    ASSERT_TRUE(WriteProductRegistryValue(L"InstallPath", std::wstring(L"/a\0/b", 5)));
    std::wstring text;
    ASSERT_TRUE(ReadProductRegistryValue(L"installpath", text));
    EXPECT_EQ(text, L"/a");
    EXPECT_FALSE(ReadProductRegistryValue(L"Missing", text));
}

TEST_F(InstallRecordsTest, SetIniGetsANewDeviceIdEveryWrite) {
    const std::wstring folder = Folder("Inst");
    home.Write("Inst/keep.txt", "");
    WriteSetIni(folder);
    const std::wstring setIni = folder + L"/set.ini";
    const std::wstring first = ProfileFile::GetString(setIni, L"Install", L"DeviceID", L"", 100);
    WriteSetIni(folder);
    const std::wstring second = ProfileFile::GetString(setIni, L"Install", L"DeviceID", L"", 100);
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(first, second);
    EXPECT_EQ(ProfileFile::GetString(setIni, L"Install", L"AppName", L"", 100), L"Mavrix");
    EXPECT_FALSE(ProfileFile::GetString(setIni, L"Install", L"APPStore", L"", 100).empty());

    const std::wstring analytics = ProfileFile::GetString(setIni, L"Install", L"VNTelemetryIni", L"", 300);
    EXPECT_EQ(analytics, GetAnalyticsDataFolder() + L"/VNTelemetry.ini");
    EXPECT_EQ(GetAnalyticsDataFolder(), Folder("data") + L"/VarnoData/Mavrix");
    const std::wstring updated = ProfileFile::GetString(analytics, L"Init", L"UpdateTime", L"", 100);
    EXPECT_EQ(updated.size(), 19u);  // "2026-12-11 12:00:00"
}

TEST_F(InstallRecordsTest, IsOverrideConsultedOnlyForTheSameFolder) {
    home.Write("P/set.ini", "[Uninstall]\nIsOverride=false\n");
    home.Write("Q/set.ini", "[Uninstall]\nIsOverride=False\n");
    const std::wstring p = Folder("P");
    EXPECT_TRUE(ReadIsOverrideOff(p, p));
    EXPECT_TRUE(ReadIsOverrideOff(p, p + L"/"));
    EXPECT_TRUE(ReadIsOverrideOff(p, Folder("Q/../P")));
    EXPECT_FALSE(ReadIsOverrideOff(p, Folder("Q")));
    EXPECT_FALSE(ReadIsOverrideOff(Folder("Q"), Folder("Q")));  // only "false" counts
    EXPECT_FALSE(ReadIsOverrideOff(L"", p));
}

}  // namespace
