#pragma once
// A tracker over a temporary per-user folder, reporting to a real endpoint on 127.0.0.1.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/telemetry_endpoint/TelemetryEndpoint.h"
#include "support/TempFolder.h"
#include "telemetry/source/src/TelemetryTrackerImpl.h"
#include "telemetry/telemetry_core/SendStatus.h"

namespace testsupport {

class TrackerFixture : public testing::Test {
protected:
    void SetUp() override { telemetry_core::SetLastSendSucceeded(false); }

    varno::telemetry::TrackerEnvironment Environment() {
        varno::telemetry::TrackerEnvironment env;
        env.osVersion = "Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64";
        env.language = "zh";
        env.country = "CN";
        env.executableFolder = folder_ / "bin";
        env.baseFolder = folder_ / "state";
        env.newId = [this] {
            char id[40];
            std::snprintf(id, sizeof id, "00000000-0000-0000-0000-%012d", ++ids_);
            return std::string(id);
        };
        return env;
    }
    varno::telemetry::TrackerConfig Config(const std::string& url) {
        varno::telemetry::TrackerConfig config;
        config.appName = "Mavrix.downloader";
        config.appVersion = "1.7.9";
        config.appStore = "MavrixSetup.exe";
        config.dlAppId = "Mavrix";
        config.serverUrl = url;
        return config;
    }
    std::unique_ptr<varno::telemetry::TelemetryTrackerImpl> Start(const std::string& url) {
        auto tracker = std::make_unique<varno::telemetry::TelemetryTrackerImpl>(Config(url), Environment());
        tracker->init();
        return tracker;
    }
    std::string DataFolder() const { return folder_ / "state/VNLocal/Mavrix.downloader/"; }
    std::string IdentityFile() const { return DataFolder() + "Mavrix.downloader_VNSConfigure.ini"; }

    TempFolder folder_;
    TelemetryEndpoint endpoint_;
    int ids_ = 0;
};

}  // namespace testsupport
