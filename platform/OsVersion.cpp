#include "platform/OsVersion.h"

#include <sys/utsname.h>

#include <fstream>

namespace platform {
namespace {

std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

OsVersion QueryOsVersion() {
    OsVersion version;
    utsname names{};
    if (::uname(&names) == 0) {
        version.kernelRelease = names.release;
        version.machine = names.machine;
    }
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (line.starts_with("PRETTY_NAME=")) version.prettyName = Unquote(line.substr(12));
        if (line.starts_with("VERSION_ID=")) version.versionId = Unquote(line.substr(11));
    }
    return version;
}

bool Is64BitSystem() {
    const std::string machine = QueryOsVersion().machine;
    return machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" || machine == "s390x" ||
           machine == "riscv64";
}

}  // namespace platform
