#pragma once
// The installer's small system questions (network, disk, running programs) and the
// routines that make what it needs (temporary folder, folder paths, GUID texts, MD5s,
// elapsed time). Stateless and reentrant; failures give neutral answers.
#include <cstdint>
#include <string>

#include "platform/SystemProbes.h"

namespace Utils {

// Low 16 bits: the connectivity flags; high 16 bits: 0 usable, 1 no connectivity at
// all, 2 connected but not to the Internet.
uint32_t CheckNetwork();
uint32_t CheckNetwork(const platform::NetworkState& state);  // the verdict for a given state

class HardDiskManager {
public:
    virtual ~HardDiskManager() = default;

    // Fills the three counters for the file system of `directory`; on failure logs the
    // error and keeps the counters as they were.
    bool CheckFreeSpace(const std::wstring& directory);

    uint64_t freeBytesAvailable = 0;
    uint64_t totalNumberOfBytes = 0;
    uint64_t totalNumberOfFreeBytes = 0;
};

}  // namespace Utils

// The process id of the first running process whose executable file name is exactly
// `exeName`, 0 when none.
int IsProcessRunning(const std::wstring& exeName);

// The installer's temporary folder, ending in "/": a private folder of the user's (mode
// 0700, refused when someone else owns it), or "" when it cannot be had.
std::wstring GetInstallerTempFolder();

// Makes every level of `path` exist; false for a path over 260 characters or when a
// level cannot be made.
bool CreateDirectoryPath(const std::wstring& path);

// A new GUID as 32 hexadecimal digits, no separators.
std::wstring MakeGuidText();

// The MD5 of a file as 32 lower-case hexadecimal digits, "" when it cannot be read.
std::string GetFileMd5(const std::string& path);

// Seconds since the owner started timing.
struct ElapsedTimer {
    uint32_t start = 0;
    bool started = false;

    void Start();
    float ElapsedSeconds() const;  // 0 when never started
};
