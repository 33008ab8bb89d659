#pragma once
// The tracker interface: one operation per kind of event, plus the locale, the device's
// primary id and the tracker log. Callers hold a TelemetryTrackerWrapper, never the
// implementation, so that no exception reaches them.
#include <string>

#include "telemetry/source/src/TrackLogger.h"
#include "telemetry/source/src/VnContextProperties.h"
#include "telemetry/source/src/VnEvents.h"

namespace varno::telemetry {

class TelemetryTracker {
public:
    virtual ~TelemetryTracker() = default;
    virtual void trackActivity(const VnContextProperties& context) = 0;
    virtual void trackLaunch(const VnContextProperties& context) = 0;
    virtual void trackLogin(const VnEventLogin& event, bool success, const std::string& reason,
                            const VnContextProperties& context) = 0;
    virtual void trackClick(const VnEventClick& event, const VnContextProperties& context) = 0;
    virtual void trackView(const VnEventView& event, const VnContextProperties& context) = 0;
    virtual void trackCashier(const VnEventCashier& event, const VnContextProperties& context) = 0;
    virtual void trackShare(const VnEventShare& event, const VnContextProperties& context) = 0;
    virtual void trackTask(const VnEventTask& event, const VnContextProperties& context) = 0;
    virtual void trackFile(const VnEventFile& event, const VnContextProperties& context) = 0;
    virtual void trackOrder(const VnEventOrder& event, const VnContextProperties& context) = 0;
    virtual void trackPayment(const VnEventPayment& event, const VnContextProperties& context) = 0;
    virtual void trackUninstall(const std::string& reason, const VnContextProperties& context) = 0;
    virtual void trackCrash(const std::string& reason) = 0;
    virtual void trackUpdate(const VnEventUpdate& event, const VnContextProperties& context) = 0;
    virtual void trackAppOpenNotification(const AppOpenNotification* notification,
                                          const VnContextProperties& context) = 0;
    virtual void setLocale(const std::string& locale) = 0;
    virtual std::string getPrimaryDistinctId() = 0;
    virtual TrackLogger* getLogger() = 0;
};

}  // namespace varno::telemetry
