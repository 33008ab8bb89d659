#pragma once
// The real system facts the tracker reports on this system: "Linux", the distribution and
// kernel, the user locale, the per-user state folder and fresh device ids.
#include <string>
#include <utility>

#include "telemetry/source/src/TrackerConfig.h"

varno::telemetry::TrackerEnvironment MakeAnalyticsEnvironment(int screenWidth, int screenHeight);

// Language and country of a locale name such as "zh_CN.UTF-8@latin"; both empty unless
// both are there.
std::pair<std::string, std::string> ParseLocaleName(const std::string& name);

// The process's message locale; when the program kept the "C" locale, the one its
// environment asks for (LC_ALL, LC_MESSAGES, LANG).
std::string ProcessLocaleName();
