#include "telemetry/source/src/TelemetryTrackerWrapper.h"

#include <cstdio>

namespace varno::telemetry {

template <class Call>
void TelemetryTrackerWrapper::Guarded(const char* operation, Call&& call) {
    if (!tracker_) return;
    try {
        call(*tracker_);
    } catch (...) {
        if (tracker_->getLogger()) {
            std::printf("Failed to %s\n", operation);
            std::fflush(stdout);
        }
    }
}

void TelemetryTrackerWrapper::trackActivity(const VnContextProperties& context) {
    Guarded("trackActivity", [&](TelemetryTracker& t) { t.trackActivity(context); });
}
void TelemetryTrackerWrapper::trackLaunch(const VnContextProperties& context) {
    Guarded("trackLaunch", [&](TelemetryTracker& t) { t.trackLaunch(context); });
}
void TelemetryTrackerWrapper::trackLogin(const VnEventLogin& event, bool success, const std::string& reason,
                                         const VnContextProperties& context) {
    Guarded("trackLogin", [&](TelemetryTracker& t) { t.trackLogin(event, success, reason, context); });
}
void TelemetryTrackerWrapper::trackClick(const VnEventClick& event, const VnContextProperties& context) {
    Guarded("trackClick", [&](TelemetryTracker& t) { t.trackClick(event, context); });
}
void TelemetryTrackerWrapper::trackView(const VnEventView& event, const VnContextProperties& context) {
    Guarded("trackView", [&](TelemetryTracker& t) { t.trackView(event, context); });
}
void TelemetryTrackerWrapper::trackCashier(const VnEventCashier& event, const VnContextProperties& context) {
    Guarded("trackCashier", [&](TelemetryTracker& t) { t.trackCashier(event, context); });
}
void TelemetryTrackerWrapper::trackShare(const VnEventShare& event, const VnContextProperties& context) {
    Guarded("trackShare", [&](TelemetryTracker& t) { t.trackShare(event, context); });
}
void TelemetryTrackerWrapper::trackTask(const VnEventTask& event, const VnContextProperties& context) {
    Guarded("trackTask", [&](TelemetryTracker& t) { t.trackTask(event, context); });
}
void TelemetryTrackerWrapper::trackFile(const VnEventFile& event, const VnContextProperties& context) {
    Guarded("trackFile", [&](TelemetryTracker& t) { t.trackFile(event, context); });
}
void TelemetryTrackerWrapper::trackOrder(const VnEventOrder& event, const VnContextProperties& context) {
    Guarded("trackOrder", [&](TelemetryTracker& t) { t.trackOrder(event, context); });
}
void TelemetryTrackerWrapper::trackPayment(const VnEventPayment& event, const VnContextProperties& context) {
    Guarded("trackPayment", [&](TelemetryTracker& t) { t.trackPayment(event, context); });
}
void TelemetryTrackerWrapper::trackUninstall(const std::string& reason, const VnContextProperties& context) {
    Guarded("trackUninstall", [&](TelemetryTracker& t) { t.trackUninstall(reason, context); });
}
void TelemetryTrackerWrapper::trackCrash(const std::string& reason) {
    Guarded("trackCrash", [&](TelemetryTracker& t) { t.trackCrash(reason); });
}
void TelemetryTrackerWrapper::trackUpdate(const VnEventUpdate& event, const VnContextProperties& context) {
    Guarded("trackUpdate", [&](TelemetryTracker& t) { t.trackUpdate(event, context); });
}
void TelemetryTrackerWrapper::trackAppOpenNotification(const AppOpenNotification* notification,
                                                       const VnContextProperties& context) {
    Guarded("trackAppOpenNotification", [&](TelemetryTracker& t) { t.trackAppOpenNotification(notification, context); });
}

void TelemetryTrackerWrapper::setLocale(const std::string& locale) {
    if (tracker_) tracker_->setLocale(locale);
}

std::string TelemetryTrackerWrapper::getPrimaryDistinctId() {
    return tracker_ ? tracker_->getPrimaryDistinctId() : std::string();
}

}  // namespace varno::telemetry
