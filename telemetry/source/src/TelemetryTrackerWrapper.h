#pragma once
// The facade the installer holds: forwards every operation to the tracker it owns and
// swallows whatever the tracker throws, printing "Failed to <operation>" on standard output
// when the tracker keeps a log. Does nothing while it owns no tracker.
#include <memory>

#include "telemetry/source/src/TelemetryTracker.h"

namespace varno::telemetry {

class TelemetryTrackerWrapper : public TelemetryTracker {
public:
    explicit TelemetryTrackerWrapper(std::unique_ptr<TelemetryTracker> tracker) : tracker_(std::move(tracker)) {}

    void trackActivity(const VnContextProperties& context) override;
    void trackLaunch(const VnContextProperties& context) override;
    void trackLogin(const VnEventLogin& event, bool success, const std::string& reason,
                    const VnContextProperties& context) override;
    void trackClick(const VnEventClick& event, const VnContextProperties& context) override;
    void trackView(const VnEventView& event, const VnContextProperties& context) override;
    void trackCashier(const VnEventCashier& event, const VnContextProperties& context) override;
    void trackShare(const VnEventShare& event, const VnContextProperties& context) override;
    void trackTask(const VnEventTask& event, const VnContextProperties& context) override;
    void trackFile(const VnEventFile& event, const VnContextProperties& context) override;
    void trackOrder(const VnEventOrder& event, const VnContextProperties& context) override;
    void trackPayment(const VnEventPayment& event, const VnContextProperties& context) override;
    void trackUninstall(const std::string& reason, const VnContextProperties& context) override;
    void trackCrash(const std::string& reason) override;
    void trackUpdate(const VnEventUpdate& event, const VnContextProperties& context) override;
    void trackAppOpenNotification(const AppOpenNotification* notification,
                                  const VnContextProperties& context) override;
    // Forwarded without a handler: its exceptions reach the caller.
    void setLocale(const std::string& locale) override;
    std::string getPrimaryDistinctId() override;
    // Always null: the wrapper keeps no log of its own.
    TrackLogger* getLogger() override { return nullptr; }

private:
    template <class Call>
    void Guarded(const char* operation, Call&& call);

    std::unique_ptr<TelemetryTracker> tracker_;
};

}  // namespace varno::telemetry
