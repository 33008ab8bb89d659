#include "src/utils/SystemProbes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "platform/Text.h"
#include "support/TempFolder.h"

extern char** environ;

namespace {

using testsupport::ScopedEnv;
using testsupport::TempFolder;

TEST(CheckNetwork, VerdictInTheHighHalf) {
    struct Case {
        platform::NetworkState state;
        uint32_t result;
    };
    const Case cases[] = {
        {{0, false}, 65536},
        {{platform::kConnectivityIpv4LocalNetwork, false}, (2u << 16) | 0x20},
        {{platform::kConnectivityIpv4Internet, true}, 0x40},
        {{platform::kConnectivityIpv4Internet | platform::kConnectivityIpv6Internet, true}, 0x440},
    };
    for (const auto& c : cases) EXPECT_EQ(Utils::CheckNetwork(c.state), c.result);
    const uint32_t real = Utils::CheckNetwork();  // whatever this machine has, the shape holds
    EXPECT_LE(real >> 16, 2u);
}

TEST(HardDiskManager, FreeSpaceOfAFolderThatDoesNotExistYet) {
    TempFolder folder;
    Utils::HardDiskManager disk;
    ASSERT_TRUE(disk.CheckFreeSpace(folder.wide() + L"/not/yet/Mavrix"));
    EXPECT_GT(disk.totalNumberOfBytes, 0u);
    EXPECT_LE(disk.freeBytesAvailable, disk.totalNumberOfFreeBytes);
    EXPECT_LE(disk.totalNumberOfFreeBytes, disk.totalNumberOfBytes);
}

TEST(IsProcessRunning, ExactCaseSensitiveExecutableName) {
    pid_t child = 0;
    char program[] = "sleep";
    char seconds[] = "5";
    char* argv[] = {program, seconds, nullptr};
    ASSERT_EQ(posix_spawnp(&child, "sleep", nullptr, nullptr, argv, environ), 0);
    EXPECT_NE(IsProcessRunning(L"sleep"), 0);
    EXPECT_EQ(IsProcessRunning(L"SLEEP"), 0);
    EXPECT_EQ(IsProcessRunning(L"slee"), 0);
    EXPECT_EQ(IsProcessRunning(L"Mavrix_not_running.exe"), 0);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(GetInstallerTempFolder, PrivateFolderOfTheUser) {
    TempFolder runtime;
    ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path().string());
    const std::wstring folder = GetInstallerTempFolder();
    ASSERT_EQ(folder, runtime.wide() + L"/~VarnoTemp.92482B06FB471E17/");
    struct stat info {};
    ASSERT_EQ(stat(platform::WideToUtf8(folder).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(GetInstallerTempFolder(), folder);  // runs share it
}

TEST(GetInstallerTempFolder, RefusesAFolderOthersCanWriteOrALink) {
    TempFolder runtime;
    ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path().string());
    const auto planted = runtime / "~VarnoTemp.92482B06FB471E17";
    std::filesystem::create_directory(planted);
    chmod(planted.c_str(), 0777);
    EXPECT_EQ(GetInstallerTempFolder(), L"");
    std::filesystem::remove(planted);
    std::filesystem::create_directory(runtime / "elsewhere");
    std::filesystem::create_directory_symlink(runtime / "elsewhere", planted);
    EXPECT_EQ(GetInstallerTempFolder(), L"");
}

TEST(CreateDirectoryPath, MakesEveryLevel) {
    TempFolder folder;
    EXPECT_TRUE(CreateDirectoryPath(folder.wide() + L"/a/b/c/"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "a/b/c"));
    EXPECT_TRUE(CreateDirectoryPath(folder.wide() + L"/a/b/d"));
    EXPECT_TRUE(CreateDirectoryPath(folder.wide() + L"/a/b/d"));  // existing levels are fine
    folder.Write("file", "x");
    EXPECT_FALSE(CreateDirectoryPath(folder.wide() + L"/file/sub"));
    EXPECT_FALSE(CreateDirectoryPath(L"/" + std::wstring(261, L'x')));
    EXPECT_FALSE(CreateDirectoryPath(L"/proc/no/such"));
}

TEST(MakeGuidText, ThirtyTwoDigitsWithTheThirdGroupInSmallLetters) {
    const std::wregex shape(L"[0-9A-F]{12}[0-9a-f]{4}[0-9A-F]{16}");
    const std::wstring first = MakeGuidText();
    EXPECT_TRUE(std::regex_match(first, shape)) << platform::WideToUtf8(first);
    EXPECT_NE(MakeGuidText(), first);
}

TEST(GetFileMd5, KnownDigests) {
    TempFolder folder;
    EXPECT_EQ(GetFileMd5(folder.Write("empty", "").string()), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(GetFileMd5(folder.Write("abc", "abc").string()), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(GetFileMd5(folder.Write("big", std::string(200000, 'a')).string()).size(), 32u);
    EXPECT_EQ(GetFileMd5((folder / "missing").string()), "");
    EXPECT_EQ(GetFileMd5(""), "");
    EXPECT_EQ(GetFileMd5(folder.path().string()), "");  // a folder cannot be read
}

TEST(ElapsedTimer, ZeroUntilStarted) {
    ElapsedTimer timer;
    EXPECT_EQ(timer.ElapsedSeconds(), 0.0f);
    timer.Start();
    timer.start -= 1500;  // as if started 1.5 s ago, across a counter wrap too
    EXPECT_NEAR(timer.ElapsedSeconds(), 1.5f, 0.1f);
}

}  // namespace
