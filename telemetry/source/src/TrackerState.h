#pragma once
// The tracker's identity and bookkeeping, owned by TelemetryTrackerImpl and shared with
// its delivery threads so that they never outlive what they touch.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "telemetry/source/src/VnEvents.h"

namespace varno::telemetry {

struct LocationInfo {
    std::string ip, country, countryCode, province, city;
    bool known() const { return !ip.empty(); }
};

struct TrackerState {
    bool isLogined = false;
    bool locationDisabled = true;
    std::string userId;
    std::string distinctId;
    std::string primaryDistinctId;
    int vipLevel = 0;
    std::string logPath;
    std::string locale;
    std::string dataFolder;  // ends in "/"
    std::string identityFile;
    std::string storedServerUrl;
    std::atomic<int> pendingRecords{0};
    std::atomic<bool> loopRunning{false};
    std::atomic<bool> stopRequested{false};

    std::mutex profileLock;  // guards the deferred login profile; taken with try-lock only
    VnEventLogin deferredLogin;
    int64_t deferredLoginTime = -1;  // -1: none

    LocationInfo location;
};

}  // namespace varno::telemetry
