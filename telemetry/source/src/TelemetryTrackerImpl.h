#pragma once
// The tracker: validates each event record, turns it into properties, hands it to the
// recording layer and asks for delivery; keeps the device identity in its identity file
// and the user profile up to date. Track operations may run on any thread; init and the
// destructor run on the host's main thread. Throws VnException (the wrapper catches it).
#include <memory>
#include <string>
#include <thread>

#include "telemetry/source/src/NativeTrackLogger.h"
#include "telemetry/source/src/TelemetryTracker.h"
#include "telemetry/source/src/TrackerConfig.h"
#include "telemetry/source/src/TrackerState.h"

namespace varno::telemetry {

class TelemetryTrackerImpl : public TelemetryTracker {
public:
    TelemetryTrackerImpl(TrackerConfig config, TrackerEnvironment environment);
    // Saves the identity, delivers what is pending (or stages it) and closes the recording layer.
    ~TelemetryTrackerImpl() override;
    TelemetryTrackerImpl(const TelemetryTrackerImpl&) = delete;
    TelemetryTrackerImpl& operator=(const TelemetryTrackerImpl&) = delete;

    void init();

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
    void setLocale(const std::string& locale) override;
    std::string getPrimaryDistinctId() override;
    TrackLogger* getLogger() override { return logger_.get(); }

    // Also writes every recorded event to the tracker log.
    void setDebugMode(bool on) { debugMode_ = on; }
    const std::string& dataFolder() const { return state_->dataFolder; }
    const std::string& identityFile() const { return state_->identityFile; }
    // "Mozilla/5.0(<os> <version>; Win64;)".
    std::string userAgent() const;

    struct AsyncDeliveries;  // delivery threads still running

private:
    // The steps every track operation shares after its own properties.
    void record(VnEventType type, const std::string& eventName, telemetry_core::PropertiesNode& properties,
                const VnContextProperties* context, bool firstTime);
    void log(VnEventType type, const telemetry_core::PropertiesNode& properties);
    void requestDelivery(bool urgent);

    void loadIdentity();
    void saveIdentity();
    std::string newId() const;
    void registerLocaleProperties();
    void startBackgroundLoop();
    void applyDeferredLoginProfile();

    void addLocationProperties();
    void profileAfterActivity();
    void profileAfterLaunch();
    void profileAfterPayment(float paidAmount);
    void profileAfterLogin(const VnEventLogin& event, int64_t time);

    TrackerConfig config_;
    const TrackerEnvironment environment_;
    bool debugMode_ = false;
    bool initialised_ = false;
    std::unique_ptr<NativeTrackLogger> logger_;
    std::shared_ptr<TrackerState> state_;
    std::shared_ptr<AsyncDeliveries> deliveries_;
    std::thread loopThread_;  // the background loop, while the location lookup is on
};

}  // namespace varno::telemetry
