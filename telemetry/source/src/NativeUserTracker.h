#pragma once
// Writes one property of the user profile at the collection service, choosing set, set
// once, increment or append from the table of profile properties. Keys the table does not
// know and values that do not fit the key's kind throw VnException.
#include <cstdint>
#include <string>

namespace varno::telemetry {

class NativeUserTracker {
public:
    static void ProfileUserPropertyString(const std::string& key, const std::string& value);
    static void ProfileUserPropertyNumber(const std::string& key, int64_t value);
    static void ProfileUserPropertyNumber(const std::string& key, int value) {
        ProfileUserPropertyNumber(key, static_cast<int64_t>(value));
    }
    static void ProfileUserPropertyNumber(const std::string& key, double value);
    // `time` counts milliseconds since 1970 above 157789439999, seconds otherwise.
    static void ProfileUserPropertyDateTime(const std::string& key, int64_t time);
};

}  // namespace varno::telemetry
