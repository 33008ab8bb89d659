// Analytics costs: recording (track + serialisation), flushing a full queue to a local
// endpoint, and what a report costs its caller while the endpoint is dead or stalls.
// References in the same run: the same record built and written with jsoncpp, and the
// same batches only gzip-compressed (the floor of any encoding).
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "support/telemetry_endpoint/TelemetryEndpoint.h"
#include "telemetry/source/src/TelemetryTrackerImpl.h"
#include "telemetry/source/src/TelemetryTrackerWrapper.h"
#include "telemetry/telemetry_core/BatchEncoding.h"
#include "telemetry/telemetry_core/EventConsumer.h"
#include "telemetry/telemetry_core/Sdk.h"
#include "telemetry/telemetry_core/SendStatus.h"

using namespace varno::telemetry;
using testsupport::TelemetryEndpoint;

namespace {

std::string BenchFolder() {
    const auto path = std::filesystem::temp_directory_path() / "mavrix-telemetry-bench";
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path.string();
}

std::unique_ptr<TelemetryTrackerWrapper> MakeTracker(const std::string& url) {
    TrackerConfig config;
    config.appName = "Mavrix.downloader";
    config.appVersion = "1.7.9";
    config.appStore = "MavrixSetup.exe";
    config.dlAppId = "Mavrix";
    config.serverUrl = url;
    TrackerEnvironment env;
    env.osVersion = "Debian GNU/Linux 12 (bookworm) 6.1.0";
    env.language = "zh";
    env.country = "CN";
    env.baseFolder = BenchFolder();
    env.executableFolder = env.baseFolder;
    auto impl = std::make_unique<TelemetryTrackerImpl>(config, env);
    impl->init();
    return std::make_unique<TelemetryTrackerWrapper>(std::move(impl));
}

VnEventClick Click() {
    VnEventClick click;
    click.name = "\xE7\xAB\x8B\xE5\x8D\xB3\xE5\xAE\x89\xE8\xA3\x85";  // 立即安装
    return click;
}

// What the installer's click report does: a fresh context with the A/B group, one click.
void ReportClick(TelemetryTrackerWrapper& tracker) {
    VnContextProperties context;
    context.setProperty("IN", {VnEventType::Click});
    tracker.trackClick(Click(), context);
}

void BM_TrackClick(benchmark::State& state) {
    telemetry_core::SetLastSendSucceeded(false);
    auto tracker = MakeTracker(TelemetryEndpoint::UnusedUrl());
    for (auto _ : state) ReportClick(*tracker);
    state.SetItemsProcessed(state.iterations());
    tracker.reset();
}
BENCHMARK(BM_TrackClick);

// Reference: one record of the same shape built and written with jsoncpp.
void BM_ReferenceJsoncppRecord(benchmark::State& state) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    for (auto _ : state) {
        Json::Value properties;
        for (const char* key : {"$app_id", "$app_version", "$lib", "$lib_version", "$os", "$os_version", "vn_app_id",
                                "vn_app_platform", "vn_app_store", "vn_dlapp_id", "vn_edition", "vn_l10n_country",
                                "vn_l10n_language", "vn_l10n_locale", "vn_sdk", "vn_sdk_version", "vn_track_type",
                                "vn_name", "vn_click_type", "vnc_ab"})
            properties[key] = "some text value";
        properties["$screen_width"] = 0;
        properties["$screen_height"] = 0;
        properties["$is_first_time"] = true;
        Json::Value record;
        record["_track_id"] = 123456789;
        record["distinct_id"] = "00000000-0000-0000-0000-000000000001";
        record["event"] = "VnEventClick";
        record["lib"]["$lib"] = "cpp";
        record["lib"]["$lib_version"] = "0.9";
        record["lib"]["$lib_method"] = "code";
        record["properties"] = properties;
        record["time"] = static_cast<Json::Int64>(1700000000000);
        record["type"] = "track";
        benchmark::DoNotOptimize(Json::writeString(builder, record));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceJsoncppRecord);

// 1024 queued records flushed to a local endpoint: 35 batches, gzip level 9, base64,
// percent-encoding, one POST each. CPU time is this thread's: the client's share.
void BM_Flush1024(benchmark::State& state) {
    TelemetryEndpoint endpoint;
    auto tracker = MakeTracker(endpoint.Url());
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < telemetry_core::kQueueCapacity; ++i) ReportClick(*tracker);
        state.ResumeTiming();
        if (!telemetry_core::Sdk::Flush()) state.SkipWithError("flush failed");
    }
    state.SetItemsProcessed(state.iterations() * telemetry_core::kQueueCapacity);
    tracker.reset();
}
BENCHMARK(BM_Flush1024)->Unit(benchmark::kMillisecond)->Iterations(10);

// Reference: only gzip -9 of the same 35 batches, no encoding and no request.
void BM_ReferenceGzipOnly1024(benchmark::State& state) {
    // One real click record, as the endpoint received it, repeated into the same batches.
    std::string record;
    {
        TelemetryEndpoint endpoint;
        auto tracker = MakeTracker(endpoint.Url());
        ReportClick(*tracker);
        telemetry_core::Sdk::Flush();
        record = endpoint.Batches().at(0).json.substr(1);
        record.pop_back();
    }
    std::vector<std::string> batches;
    for (size_t i = 0; i < telemetry_core::kQueueCapacity; i += telemetry_core::kBatchSize) {
        const size_t n = std::min(telemetry_core::kBatchSize, telemetry_core::kQueueCapacity - i);
        std::string batch = "[";
        for (size_t k = 0; k < n; ++k) batch += (k ? "," : "") + record;
        batches.push_back(batch + "]");
    }
    for (auto _ : state)
        for (const auto& batch : batches) benchmark::DoNotOptimize(telemetry_core::GzipCompress(batch));
    state.SetItemsProcessed(state.iterations() * telemetry_core::kQueueCapacity);
}
BENCHMARK(BM_ReferenceGzipOnly1024)->Unit(benchmark::kMillisecond);

// A click report while the endpoint is dead, and while it stalls with an urgent send in
// flight on another thread (holding the send lock for the whole 3 s timeout).
void BM_ClickReportWhileEndpointFails(benchmark::State& state) {
    const bool stall = state.range(0) == 1;
    TelemetryEndpoint endpoint;
    if (stall) endpoint.SetMode(TelemetryEndpoint::Mode::Stall);
    const std::string url = stall ? endpoint.Url() : TelemetryEndpoint::UnusedUrl();
    auto tracker = MakeTracker(url);
    telemetry_core::SetLastSendSucceeded(true);  // the worst case: urgent sends on the caller's thread
    std::thread urgent([&] { tracker->trackCrash("bench"); });
    if (stall) endpoint.WaitForStalled(1, std::chrono::seconds(2));
    double worst = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        ReportClick(*tracker);
        worst = std::max(worst, std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
    }
    state.counters["worst_us"] = worst;
    endpoint.ReleaseStalled();
    urgent.join();
    tracker.reset();
}
BENCHMARK(BM_ClickReportWhileEndpointFails)->Arg(0)->Arg(1)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
