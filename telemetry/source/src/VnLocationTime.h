#pragma once
// Asks the location service for the machine's public address and place, on a background
// thread that retries until it has an answer or is stopped. One per process.
#include <chrono>
#include <string>

#include "telemetry/source/src/TrackerState.h"

namespace varno::telemetry {

class VnLocationTime {
public:
    struct Options {
        std::string host;  // host[:port] of the location service
        std::string key;   // 16-character shared key of the credential
        std::chrono::milliseconds retryPause{5000};
        std::chrono::milliseconds pauseStep{100};
    };

    // Starts the lookup unless it runs already or has its answer.
    static void start(const Options& options);
    // The answer once known; false before, and while the answer is being written.
    static bool query(LocationInfo& location);
    // Ends the lookup thread and forgets the answer.
    static void stop();

    // "/api/location_and_time&&" + key + "&" + time, as MD5 in lower-case hexadecimal.
    static std::string credential(const std::string& key, const std::string& time);
};

}  // namespace varno::telemetry
