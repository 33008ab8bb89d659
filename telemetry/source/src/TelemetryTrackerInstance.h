#pragma once
// The process-wide tracker: created and published at the host's analytics start, emptied
// at its stop. Destroying the last reference saves the identity and delivers or stages
// what is still queued.
#include <memory>

#include "telemetry/source/src/TelemetryTrackerWrapper.h"
#include "telemetry/source/src/TrackerConfig.h"

namespace varno::telemetry {

// Makes a TelemetryTrackerImpl, runs its init (a failure is ignored and the tracker kept,
// recording nothing), wraps it and publishes it, replacing any earlier one.
void CreateTelemetryTracker(const TrackerConfig& config, const TrackerEnvironment& environment);
void ShutdownTelemetryTracker();
// The published tracker, or null.
std::shared_ptr<TelemetryTrackerWrapper> GetTelemetryTracker();

}  // namespace varno::telemetry
