#pragma once
// Small questions put to the system: free disk space, running programs, network state,
// random GUIDs and MD5 digests.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

struct DiskSpace {
    uint64_t freeToCaller = 0;
    uint64_t total = 0;
    uint64_t totalFree = 0;
};

// The space of the file system holding `path`, asked of its nearest existing folder.
Expected<DiskSpace, SystemError> QueryDiskSpace(const std::wstring& path);

// Process ids whose executable file name (the link target of /proc/PID/exe, or the
// first argument when that cannot be read) is exactly `fileName`.
std::vector<int> FindProcessesByExeName(const std::wstring& fileName);

// Connectivity in the system's network-list terms.
struct NetworkState {
    uint32_t connectivityFlags = 0;  // 0: not connected at all
    bool connectedToInternet = false;
};
inline constexpr uint32_t kConnectivityIpv4LocalNetwork = 0x20;
inline constexpr uint32_t kConnectivityIpv4Internet = 0x40;
inline constexpr uint32_t kConnectivityIpv6LocalNetwork = 0x200;
inline constexpr uint32_t kConnectivityIpv6Internet = 0x400;

// NetworkManager's verdict when it runs; otherwise an interface that is up (not
// loopback) and a default route.
NetworkState QueryNetworkState();

std::array<uint8_t, 16> RandomGuidBytes();

// Incremental MD5 over libcrypto.
class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void Update(const void* data, size_t size);
    std::string FinishHex();  // 32 lower-case hexadecimal digits

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

}  // namespace platform
