#include "src/windows/AnalyticsEnvironment.h"

#include <clocale>
#include <cstdio>

#include "platform/OsVersion.h"
#include "platform/Paths.h"
#include "platform/SystemProbes.h"
#include "platform/Text.h"

namespace {

std::string NewDeviceId() {
    const auto b = platform::RandomGuidBytes();
    char text[40];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

}  // namespace

std::pair<std::string, std::string> ParseLocaleName(const std::string& name) {
    const std::string base = name.substr(0, name.find_first_of(".@"));
    const auto underscore = base.find('_');
    if (underscore == std::string::npos || underscore == 0 || underscore + 1 == base.size()) return {};
    return {base.substr(0, underscore), base.substr(underscore + 1)};
}

std::string ProcessLocaleName() {
    const char* current = std::setlocale(LC_MESSAGES, nullptr);
    if (current && std::string(current) != "C" && std::string(current) != "POSIX") return current;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const auto value = platform::EnvironmentVariable(variable);
        if (value && !value->empty()) return platform::WideToUtf8(*value);
    }
    return {};
}

varno::telemetry::TrackerEnvironment MakeAnalyticsEnvironment(int screenWidth, int screenHeight) {
    const platform::OsVersion os = platform::QueryOsVersion();
    varno::telemetry::TrackerEnvironment env;
    env.osName = os.platform;
    env.osVersion = os.prettyName.empty() ? os.kernelRelease : os.prettyName + " " + os.kernelRelease;
    env.is64Bit = platform::Is64BitSystem();
    env.screenWidth = screenWidth;
    env.screenHeight = screenHeight;
    std::tie(env.language, env.country) = ParseLocaleName(ProcessLocaleName());
    env.executableFolder = platform::WideToUtf8(platform::FolderPart(platform::ExecutablePath()));
    env.baseFolder = platform::WideToUtf8(platform::StateHome());
    env.newId = NewDeviceId;
    return env;
}
