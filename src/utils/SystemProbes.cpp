#include "src/utils/SystemProbes.h"

#include <cstdio>
#include <cwchar>

#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "src/core/DebugLog.h"

namespace {

constexpr size_t kMaxPath = 260;
constexpr wchar_t kTempFolderName[] = L"~VarnoTemp.92482B06FB471E17";

}  // namespace

namespace Utils {

uint32_t CheckNetwork() { return CheckNetwork(platform::QueryNetworkState()); }

uint32_t CheckNetwork(const platform::NetworkState& state) {
    uint32_t verdict = 0;
    if (state.connectivityFlags == 0) {
        verdict = 1;
        DebugLog(L"GetConnectivity %d\r\n", static_cast<int>(state.connectivityFlags));
    } else if (!state.connectedToInternet) {
        verdict = 2;
        DebugLog(L"get_IsConnectedToInternet:%d\r\n", 0);
    }
    return (state.connectivityFlags & 0xFFFF) | (verdict << 16);
}

bool HardDiskManager::CheckFreeSpace(const std::wstring& directory) {
    const auto space = platform::QueryDiskSpace(directory);
    if (!space) {
        DebugLog(L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", static_cast<long>(space.error().code));
        return false;
    }
    freeBytesAvailable = space->freeToCaller;
    totalNumberOfBytes = space->total;
    totalNumberOfFreeBytes = space->totalFree;
    return true;
}

}  // namespace Utils

int IsProcessRunning(const std::wstring& exeName) {
    const auto found = platform::FindProcessesByExeName(exeName);
    return found.empty() ? 0 : found.front();
}

std::wstring GetInstallerTempFolder() {
    // A folder of our own below the user's runtime or cache folder: a fixed name in a folder
    // shared by all users could be planted by someone else, and the installer runs
    // programs from here.
    std::wstring base = platform::EnvironmentVariable("XDG_RUNTIME_DIR").value_or(L"");
    if (base.empty() || !platform::IsDirectory(base)) {
        base = platform::CacheHome();
        if (!CreateDirectoryPath(base)) return {};
    }
    const auto folder = platform::PrivateFolder(base, kTempFolderName);
    return folder ? *folder + L"/" : std::wstring();
}

bool CreateDirectoryPath(const std::wstring& path) {
    if (path.size() > kMaxPath) return false;
    // Each prefix up to a "/" in turn, then the whole path when text follows the last one.
    for (size_t slash = path.find(L'/', 1); slash != std::wstring::npos; slash = path.find(L'/', slash + 1)) {
        const std::wstring prefix = path.substr(0, slash + 1);
        if (!platform::PathExists(prefix) && !platform::MakeDirectory(prefix)) return false;
    }
    if (!path.empty() && path.back() != L'/' && !platform::PathExists(path)) {
        return static_cast<bool>(platform::MakeDirectory(path));
    }
    return platform::IsDirectory(path);
}

std::wstring MakeGuidText() {
    const auto b = platform::RandomGuidBytes();
    // Data1, Data2 and Data4 in capitals, Data3 in small letters, as the record files have it.
    wchar_t text[50];
    std::swprintf(text, std::size(text), L"%08X%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]), unsigned(b[4] << 8 | b[5]),
                  unsigned(b[6] << 8 | b[7]), b[8],
                  b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string GetFileMd5(const std::string& path) {
    if (path.empty()) return {};
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) return {};
    platform::Md5 md5;
    unsigned char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) md5.Update(block, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? std::string() : md5.FinishHex();
}

void ElapsedTimer::Start() {
    start = platform::TickCount();
    started = true;
}

float ElapsedTimer::ElapsedSeconds() const {
    if (!started) return 0.0f;
    return static_cast<float>(platform::TickCount() - start) / 1000.0f;
}
