#include "telemetry/source/src/TelemetryTrackerInstance.h"

#include <mutex>

#include "telemetry/source/src/TelemetryTrackerImpl.h"

namespace varno::telemetry {
namespace {

std::mutex& InstanceLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<TelemetryTrackerWrapper>& Instance() {
    static std::shared_ptr<TelemetryTrackerWrapper> instance;
    return instance;
}

}  // namespace

void CreateTelemetryTracker(const TrackerConfig& config, const TrackerEnvironment& environment) {
    // The recording layer is one per process: the earlier tracker closes it before the new
    // one opens it again.
    ShutdownTelemetryTracker();
    auto tracker = std::make_unique<TelemetryTrackerImpl>(config, environment);
    try {
        tracker->init();
    } catch (...) {
        // A tracker whose init failed records nothing; the host goes on without analytics.
    }
    auto wrapper = std::make_shared<TelemetryTrackerWrapper>(std::move(tracker));
    std::lock_guard guard(InstanceLock());
    Instance() = std::move(wrapper);
}

void ShutdownTelemetryTracker() {
    std::shared_ptr<TelemetryTrackerWrapper> previous;
    {
        std::lock_guard guard(InstanceLock());
        previous = std::move(Instance());
    }
    // `previous` goes here, outside the lock, so reports from other threads never wait for
    // the final delivery.
}

std::shared_ptr<TelemetryTrackerWrapper> GetTelemetryTracker() {
    std::lock_guard guard(InstanceLock());
    return Instance();
}

}  // namespace varno::telemetry
