#pragma once
// What the host program tells the tracker at creation: its application fields, and the
// system facts and places the tracker reports and uses (filled by the host from the real
// system, by the tests from fixed values), so that the library makes no system calls.
#include <functional>
#include <string>

#include "telemetry/source/src/VnEnums.h"

namespace varno::telemetry {

struct TrackerConfig {
    std::string appName;     // required
    std::string appVersion;  // required
    std::string appStore;    // required: distribution channel
    std::string dlAppId;
    std::string dlAppVersion;
    std::string logPath;  // empty: in the data folder
    VnEdition edition = VnEdition::China;
    std::string serverUrl;  // empty: kDefaultServerUrl
};

// The location service; an empty host keeps the lookup, its background loop and the
// location part of the identity off (the installer's setting).
struct LocationServiceConfig {
    std::string host;  // host[:port]
    std::string key;   // shared key of the request credential
};

struct TrackerEnvironment {
    std::string osName = "Linux";  // "$os", "vn_os", "vn_app_platform"
    std::string osVersion;         // "$os_version", "vn_os_version"
    bool is64Bit = true;
    int screenWidth = 0;  // 0 without a display
    int screenHeight = 0;
    std::string language;  // ISO 639 of the user locale; empty when unknown
    std::string country;   // ISO 3166 of the user locale; empty when unknown
    std::string executableFolder;  // where "Set.ini" may name the identity file
    std::string baseFolder;        // per-user application state folder
    // A new device id, 36 upper-case characters; empty on failure (tried ten times, then a
    // random id is made instead).
    std::function<std::string()> newId;
    LocationServiceConfig location;
};

inline constexpr char kDefaultServerUrl[] = "https://collect.varnosoft.com/collect?project=pc";

}  // namespace varno::telemetry
