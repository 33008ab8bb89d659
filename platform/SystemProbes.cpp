#include "platform/SystemProbes.h"

#include <dirent.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <openssl/evp.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <uuid/uuid.h>

#include <gio/gio.h>

#include <climits>
#include <cstring>
#include <fstream>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace platform {
namespace {

std::string ExeFileNameOf(const std::string& pid) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(("/proc/" + pid + "/exe").c_str(), target, sizeof target - 1);
    std::string path;
    if (n > 0) {
        path.assign(target, static_cast<size_t>(n));
        constexpr std::string_view kDeleted = " (deleted)";
        if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
    } else {
        std::ifstream cmdline("/proc/" + pid + "/cmdline");
        std::getline(cmdline, path, '\0');
    }
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// NetworkManager's connectivity: 1 none, 2 portal, 3 limited, 4 full; nullopt when it
// does not run or does not know.
std::optional<uint32_t> NetworkManagerConnectivity() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return std::nullopt;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager", "org.freedesktop.DBus.Properties",
        "Get", g_variant_new("(ss)", "org.freedesktop.NetworkManager", "Connectivity"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    g_object_unref(bus);
    if (!reply) {
        g_clear_error(&error);
        return std::nullopt;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const uint32_t state = g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
    g_variant_unref(value);
    g_variant_unref(reply);
    if (state == 0) return std::nullopt;
    return state;
}

bool HasUpInterface() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool up = false;
    for (ifaddrs* entry = list; entry && !up; entry = entry->ifa_next) {
        up = entry->ifa_addr && (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING) &&
             !(entry->ifa_flags & IFF_LOOPBACK);
    }
    ::freeifaddrs(list);
    return up;
}

bool HasDefaultRoute() {
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line);  // header
    while (std::getline(routes, line)) {
        char iface[64];
        unsigned long destination = 1, mask = 1;
        if (std::sscanf(line.c_str(), "%63s %lx %*x %*x %*d %*d %*d %lx", iface, &destination, &mask) == 3 &&
            destination == 0 && mask == 0 && std::strcmp(iface, "lo") != 0) {
            return true;
        }
    }
    std::ifstream routes6("/proc/net/ipv6_route");
    while (std::getline(routes6, line)) {
        if (line.starts_with("00000000000000000000000000000000 00") && line.find(" lo") == std::string::npos) return true;
    }
    return false;
}

}  // namespace

Expected<DiskSpace, SystemError> QueryDiskSpace(const std::wstring& path) {
    std::wstring folder = path.empty() ? std::wstring(L".") : path;
    while (!IsDirectory(folder) && folder != L"/" && !FolderPart(folder).empty()) folder = FolderPart(folder);
    struct statvfs info {};
    if (::statvfs(WideToUtf8(folder).c_str(), &info) != 0) return MakeUnexpected(SystemError::FromErrno());
    const uint64_t unit = info.f_frsize ? info.f_frsize : info.f_bsize;
    return DiskSpace{info.f_bavail * unit, info.f_blocks * unit, info.f_bfree * unit};
}

std::vector<int> FindProcessesByExeName(const std::wstring& fileName) {
    std::vector<int> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    const std::string wanted = WideToUtf8(fileName);
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (ExeFileNameOf(pid) == wanted) found.push_back(std::stoi(pid));
    }
    ::closedir(proc);
    return found;
}

NetworkState QueryNetworkState() {
    if (const auto connectivity = NetworkManagerConnectivity()) {
        switch (*connectivity) {
            case 1: return NetworkState{0, false};
            case 4: return NetworkState{kConnectivityIpv4Internet, true};
            default: return NetworkState{kConnectivityIpv4LocalNetwork, false};  // portal or limited
        }
    }
    if (!HasUpInterface()) return NetworkState{0, false};
    if (!HasDefaultRoute()) return NetworkState{kConnectivityIpv4LocalNetwork, false};
    return NetworkState{kConnectivityIpv4Internet, true};
}

std::array<uint8_t, 16> RandomGuidBytes() {
    uuid_t id;
    uuid_generate_random(id);
    std::array<uint8_t, 16> bytes{};
    std::memcpy(bytes.data(), id, bytes.size());
    return bytes;
}

struct Md5::Context {
    EVP_MD_CTX* evp = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(evp); }
};

Md5::Md5() : context_(std::make_unique<Context>()) { EVP_DigestInit_ex(context_->evp, EVP_md5(), nullptr); }

Md5::~Md5() = default;

void Md5::Update(const void* data, size_t size) { EVP_DigestUpdate(context_->evp, data, size); }

std::string Md5::FinishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->evp, digest, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    return text;
}

}  // namespace platform
