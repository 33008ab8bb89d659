#pragma once
// What the operating system says about itself: kernel release, distribution name and
// whether the machine is 64-bit.
#include <string>

namespace platform {

struct OsVersion {
    std::string platform = "Linux";
    std::string kernelRelease;  // uname's release, such as "6.1.0-18-amd64"
    std::string machine;        // uname's machine, such as "x86_64"
    std::string prettyName;     // PRETTY_NAME of /etc/os-release, such as "Debian GNU/Linux 12 (bookworm)"
    std::string versionId;      // VERSION_ID of /etc/os-release, such as "12"
};

OsVersion QueryOsVersion();
bool Is64BitSystem();

}  // namespace platform
