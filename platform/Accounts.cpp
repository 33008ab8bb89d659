#include "platform/Accounts.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

namespace platform {
namespace {

// A logind session file: KEY=VALUE lines.
std::map<std::string, std::string> ReadKeyValues(const std::filesystem::path& file) {
    std::map<std::string, std::string> values;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && line[0] != '#') values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

bool IsActiveGraphicalUserSession(const std::map<std::string, std::string>& session) {
    auto valueOf = [&](const char* key) {
        const auto it = session.find(key);
        return it == session.end() ? std::string() : it->second;
    };
    const std::string type = valueOf("TYPE");
    const std::string sessionClass = valueOf("CLASS");
    return valueOf("ACTIVE") == "1" && (type == "x11" || type == "wayland" || type == "mir") &&
           (sessionClass.empty() || sessionClass == "user") && !valueOf("USER").empty();
}

std::optional<passwd> LookUpUser(const std::string& userName, std::vector<char>& buffer) {
    passwd entry{};
    passwd* found = nullptr;
    buffer.resize(16384);
    if (userName.empty() || getpwnam_r(userName.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        !found) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::string> GroupName(gid_t gid) {
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return std::nullopt;
    return std::string(entry.gr_name);
}

}  // namespace

bool IsEffectiveUserRoot() { return geteuid() == 0; }

std::optional<std::string> ActiveGraphicalSessionUser(const std::string& sessionsFolder) {
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(sessionsFolder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        const auto session = ReadKeyValues(file);
        if (IsActiveGraphicalUserSession(session)) return session.at("USER");
    }
    return std::nullopt;
}

std::optional<std::string> LoginUserName() {
    char name[256];
    if (getlogin_r(name, sizeof name) == 0 && name[0] != '\0') return std::string(name);
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return std::nullopt;
    return std::string(entry.pw_name);
}

std::optional<unsigned> UserIdOf(const std::string& userName) {
    std::vector<char> buffer;
    const std::optional<passwd> entry = LookUpUser(userName, buffer);
    if (!entry) return std::nullopt;
    return static_cast<unsigned>(entry->pw_uid);
}

bool IsUserInAnyGroup(const std::string& userName, std::initializer_list<std::string_view> groups) {
    std::vector<char> buffer;
    const std::optional<passwd> entry = LookUpUser(userName, buffer);
    if (!entry) return false;
    int count = 64;
    std::vector<gid_t> gids(count);
    if (getgrouplist(userName.c_str(), entry->pw_gid, gids.data(), &count) < 0) {
        gids.resize(count);  // count now holds the number needed
        if (getgrouplist(userName.c_str(), entry->pw_gid, gids.data(), &count) < 0) return false;
    }
    gids.resize(count);
    return std::any_of(gids.begin(), gids.end(), [&](gid_t gid) {
        const std::optional<std::string> name = GroupName(gid);
        return name && std::find(groups.begin(), groups.end(), *name) != groups.end();
    });
}

}  // namespace platform
