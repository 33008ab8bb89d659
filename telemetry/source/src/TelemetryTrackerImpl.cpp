#include "telemetry/source/src/TelemetryTrackerImpl.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "telemetry/source/src/NativeUserTracker.h"
#include "telemetry/source/src/ProfileIni.h"
#include "telemetry/source/src/Utf8Normalizer.h"
#include "telemetry/source/src/VnException.h"
#include "telemetry/source/src/VnLocationTime.h"
#include "telemetry/telemetry_core/Sdk.h"
#include "telemetry/telemetry_core/SendStatus.h"

namespace varno::telemetry {

using telemetry_core::PropertiesNode;
using telemetry_core::Sdk;

struct TelemetryTrackerImpl::AsyncDeliveries {
    std::mutex lock;
    std::condition_variable idle;
    int running = 0;

    void Begin() {
        std::lock_guard guard(lock);
        ++running;
    }
    void End() {
        std::lock_guard guard(lock);
        if (--running == 0) idle.notify_all();
    }
    void WaitIdle() {
        std::unique_lock guard(lock);
        idle.wait(guard, [&] { return running == 0; });
    }
};

namespace {

constexpr char kSdkVersion[] = "3.3.8";
constexpr char kSdk[] = "WindowsCPP";

std::mutex& SendLock() {
    static std::mutex lock;
    return lock;
}

int64_t NowMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Up to three flushes while records are pending; the first success clears the count.
void FlushPending(TrackerState& state) {
    for (int attempt = 0; attempt < 3 && state.pendingRecords > 0; ++attempt) {
        if (Sdk::Flush()) {
            state.pendingRecords = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void RunUrgentDelivery(TrackerState& state) {
    std::lock_guard guard(SendLock());
    FlushPending(state);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

void CreateFolder(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}

int ParseLeadingInt(const std::string& text) {
    try {
        return std::stoi(text);
    } catch (...) {
        return 0;
    }
}

}  // namespace

TelemetryTrackerImpl::TelemetryTrackerImpl(TrackerConfig config, TrackerEnvironment environment)
    : config_(std::move(config)),
      environment_(std::move(environment)),
      state_(std::make_shared<TrackerState>()),
      deliveries_(std::make_shared<AsyncDeliveries>()) {
    state_->logPath = NormalizeUtf8(config_.logPath);
}

void TelemetryTrackerImpl::init() {
    // Step 1: the application fields.
    debugMode_ = false;
    if (config_.appName.empty()) VN_THROW("init", "appName is empty");
    if (config_.appVersion.empty()) VN_THROW("init", "appVersion is empty");
    if (config_.appStore.empty()) VN_THROW("init", "appStore is empty");
    const std::string edition = toString(config_.edition);

    // Step 2: the location lookup, when the host configured a service.
    state_->locationDisabled = environment_.location.host.empty();
    if (!state_->locationDisabled)
        VnLocationTime::start(VnLocationTime::Options{environment_.location.host, environment_.location.key});
    state_->pendingRecords = 0;

    // Steps 3 to 5: the identity file, named by a Set.ini beside the executable or made in
    // the per-user folder.
    std::string named;
    const std::string setIni = environment_.executableFolder + "/Set.ini";
    if (FileExists(setIni)) named = ReadProfileString(setIni, "Install", "VNTelemetryIni").value_or("");
    std::replace(named.begin(), named.end(), '\\', '/');
    if (named.empty() || named.find('/') == std::string::npos) {
        state_->dataFolder = environment_.baseFolder + "/VNLocal/" + config_.appName + "/";
        CreateFolder(state_->dataFolder);
        state_->identityFile = state_->dataFolder + config_.appName + "_VNSConfigure.ini";
    } else {
        state_->identityFile = named;
        state_->dataFolder = named.substr(0, named.rfind('/'));
        CreateFolder(state_->dataFolder);
        state_->dataFolder += "/";
    }

    // Steps 6 to 9: the server and the identity made under it.
    if (config_.serverUrl.empty()) config_.serverUrl = kDefaultServerUrl;
    loadIdentity();
    if (state_->storedServerUrl != config_.serverUrl) {
        state_->userId.clear();
        state_->isLogined = false;
        if (state_->primaryDistinctId.empty()) {
            state_->distinctId = newId();
            state_->primaryDistinctId = state_->distinctId;
        } else {
            state_->distinctId = state_->primaryDistinctId;
        }
        state_->storedServerUrl = config_.serverUrl;
        saveIdentity();
    }
    if (state_->userId.empty()) state_->isLogined = false;

    // Step 10: the tracker log.
    if (state_->logPath.empty()) state_->logPath = state_->dataFolder + config_.appName + "_VNSLog.txt";
    logger_ = std::make_unique<NativeTrackLogger>();
    logger_->open(state_->logPath);

    // Step 11: the recording layer, staging into a file of the data folder.
    const std::string stagingFile = state_->dataFolder + config_.appName + "_VNSQueue.txt";
    const bool login = state_->isLogined;
    if (!Sdk::Init(stagingFile, config_.serverUrl, login ? state_->userId : state_->distinctId, login))
        VN_THROW("init", "telemetry_core::Sdk::Init is failed");
    initialised_ = true;

    // Step 12: the super properties every event carries.
    PropertiesNode super;
    super.SetString("vn_app_id", NormalizeUtf8(config_.appName));
    super.SetString("$app_id", NormalizeUtf8(config_.appName));
    super.SetString("$app_version", NormalizeUtf8(config_.appVersion));
    super.SetString("vn_app_store", NormalizeUtf8(config_.appStore));
    super.SetString("vn_edition", edition);
    if (!config_.dlAppId.empty()) super.SetString("vn_dlapp_id", NormalizeUtf8(config_.dlAppId));
    if (!config_.dlAppVersion.empty()) super.SetString("vn_dlapp_version", NormalizeUtf8(config_.dlAppVersion));
    super.SetString("vn_app_platform", environment_.osName);
    super.SetString("vn_track_type", "Client");
    super.SetString("vn_sdk_version", kSdkVersion);
    super.SetString("vn_sdk", kSdk);
    super.SetString("$os", environment_.osName);
    super.SetString("$os_version", NormalizeUtf8(environment_.osVersion));
    super.SetInteger("$screen_height", environment_.screenHeight);
    super.SetInteger("$screen_width", environment_.screenWidth);
    if (!state_->userId.empty()) super.SetString("vn_user_id", state_->userId);
    Sdk::RegisterSuperProperties(super);
    registerLocaleProperties();

    // Steps 13 and 14.
    WriteProfileString(state_->identityFile, "UninstallInfo", "AppStore", config_.appStore);
    WriteProfileString(state_->identityFile, "UninstallInfo", "AppName", config_.appName);
    WriteProfileString(state_->identityFile, "UninstallInfo", "AppVersion", config_.appVersion);
    if (!state_->locationDisabled) startBackgroundLoop();
}

TelemetryTrackerImpl::~TelemetryTrackerImpl() {
    // Step 1 and 2: identity, and the login profile that waited for the location.
    if (!state_->identityFile.empty()) saveIdentity();
    if (!state_->locationDisabled) {
        if (!state_->location.known()) {
            auto read = [&](const char* key) {
                return ReadProfileString(state_->identityFile, "Local", key).value_or("");
            };
            state_->location = {read("AssistIP"), read("country"), read("countryCode"), read("province"), read("City")};
        }
        applyDeferredLoginProfile();
    }
    // Step 3: the background loop, joined rather than abandoned so it never outlives us.
    state_->stopRequested = true;
    if (loopThread_.joinable()) loopThread_.join();
    // Step 4: deliveries started on threads of their own finish first; then what is pending.
    deliveries_->WaitIdle();
    if (initialised_) {
        std::lock_guard guard(SendLock());
        FlushPending(*state_);
    }
    // Steps 5 and 6: what is still unsent goes to the staging file.
    if (!state_->locationDisabled) VnLocationTime::stop();
    if (initialised_) Sdk::Shutdown();
}

std::string TelemetryTrackerImpl::userAgent() const {
    return "Mozilla/5.0(" + environment_.osName + " " + environment_.osVersion + "; Win" +
           (environment_.is64Bit ? "64;)" : "32;)");
}

void TelemetryTrackerImpl::record(VnEventType type, const std::string& eventName, PropertiesNode& properties,
                                  const VnContextProperties* context, bool firstTime) {
    if (firstTime) properties.SetBool("$is_first_time", true);
    if (context) context->mergeInto(type, properties);
    Sdk::Track(eventName, properties);
    log(type, properties);
}

void TelemetryTrackerImpl::log(VnEventType type, const PropertiesNode& properties) {
    if (debugMode_ && logger_) logger_->write(toString(type), properties);
}

void TelemetryTrackerImpl::requestDelivery(bool urgent) {
    // Every request counts the record it follows, so an urgent one always sends it. A
    // deferred request stops there: it never waits for the send lock, so a click or a task
    // report costs no time even while a send to a stalled service runs.
    state_->pendingRecords.fetch_add(1);
    if (!urgent) return;
    if (telemetry_core::LastSendSucceeded()) {
        RunUrgentDelivery(*state_);
        return;
    }
    std::fputs("[Telemetry] Sending messages asynchronously\n", stderr);
    deliveries_->Begin();
    std::thread([state = state_, deliveries = deliveries_] {
        RunUrgentDelivery(*state);
        deliveries->End();
    }).detach();
}

std::string TelemetryTrackerImpl::newId() const {
    for (int attempt = 0; attempt < 10 && environment_.newId; ++attempt) {
        std::string id = environment_.newId();
        if (!id.empty()) return id;
    }
    std::random_device device;
    std::mt19937 random(device());
    unsigned v[8];
    for (auto& x : v) x = random() & 0xFFFF;
    v[3] = (v[3] & 0x0FFF) + 0x4000;
    v[4] = v[4] % 0x3FFF + 0x8000;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%x%x-%x-%x-%x-%x%x%x", v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    return buffer;
}

void TelemetryTrackerImpl::loadIdentity() {
    TrackerState& s = *state_;
    s.userId.clear();
    s.distinctId.clear();
    s.primaryDistinctId.clear();
    s.storedServerUrl.clear();
    s.isLogined = false;
    if (FileExists(s.identityFile)) {
        auto read = [&](const char* key) { return ReadProfileString(s.identityFile, "Base", key).value_or(""); };
        s.distinctId = read("DistinctId");
        s.primaryDistinctId = read("PrimaryDistinctId");
        if (s.primaryDistinctId.empty()) s.primaryDistinctId = s.distinctId;
        s.userId = read("UserId");
        s.vipLevel = ParseLeadingInt(read("UserVipLevel"));
        s.isLogined = read("isLogined") == "OK";
        s.storedServerUrl = read("URL");
    }
    if (s.distinctId.empty()) {
        s.distinctId = newId();
        saveIdentity();
    }
}

void TelemetryTrackerImpl::saveIdentity() {
    const TrackerState& s = *state_;
    const std::string& file = s.identityFile;
    WriteProfileString(file, "Base", "DistinctId", s.distinctId);
    WriteProfileString(file, "Base", "PrimaryDistinctId", s.primaryDistinctId);
    WriteProfileString(file, "Base", "UserId", s.userId);
    WriteProfileString(file, "Base", "UserVipLevel", std::to_string(s.vipLevel));
    WriteProfileString(file, "Base", "URL", s.storedServerUrl);
    WriteProfileString(file, "Base", "isLogined", s.isLogined ? "OK" : "NG");
    if (!s.locationDisabled && s.location.known()) {
        WriteProfileString(file, "Local", "AssistIP", s.location.ip);
        WriteProfileString(file, "Local", "country", s.location.country);
        WriteProfileString(file, "Local", "countryCode", s.location.countryCode);
        WriteProfileString(file, "Local", "province", s.location.province);
        WriteProfileString(file, "Local", "City", s.location.city);
    }
}

void TelemetryTrackerImpl::registerLocaleProperties() {
    std::string language, country, locale;
    const std::string& stored = state_->locale;
    const auto underscore = stored.find('_');
    if (!stored.empty() && underscore != std::string::npos) {
        language = stored.substr(0, underscore);
        country = stored.substr(underscore + 1);
        locale = stored;
    } else if (!environment_.language.empty() && !environment_.country.empty()) {
        language = environment_.language;
        country = environment_.country;
        locale = language + "_" + country;
    }
    PropertiesNode properties;
    properties.SetString("vn_l10n_locale", NormalizeUtf8(locale));
    properties.SetString("vn_l10n_language", NormalizeUtf8(language));
    properties.SetString("vn_l10n_country", NormalizeUtf8(country));
    Sdk::RegisterSuperProperties(properties);
}

void TelemetryTrackerImpl::setLocale(const std::string& locale) {
    state_->locale = locale;
    registerLocaleProperties();
}

std::string TelemetryTrackerImpl::getPrimaryDistinctId() { return state_->primaryDistinctId; }

void TelemetryTrackerImpl::startBackgroundLoop() {
    state_->loopRunning = true;
    state_->stopRequested = false;
    loopThread_ = std::thread([this] {
        TrackerState& s = *state_;
        while (!s.stopRequested) {
            if (s.pendingRecords > 0 && Sdk::Flush()) s.pendingRecords = 0;
            for (int step = 0; step < 200 && !s.stopRequested; ++step)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (s.stopRequested) break;
            if (VnLocationTime::query(s.location)) applyDeferredLoginProfile();
            if (s.pendingRecords > 0 && Sdk::Flush()) s.pendingRecords = 0;
        }
        s.loopRunning = false;
    });
}

void TelemetryTrackerImpl::applyDeferredLoginProfile() {
    VnEventLogin login;
    int64_t time;
    {
        std::unique_lock guard(state_->profileLock, std::try_to_lock);
        if (!guard || state_->deferredLoginTime == -1) return;
        login = state_->deferredLogin;
        time = state_->deferredLoginTime;
        state_->deferredLoginTime = -1;
    }
    profileAfterLogin(login, time);
    requestDelivery(true);
}

void TelemetryTrackerImpl::addLocationProperties() {
    if (state_->locationDisabled) return;
    LocationInfo location;
    if (!VnLocationTime::query(location)) return;
    const std::pair<const char*, const std::string*> fields[] = {{"vn_ip", &location.ip},
                                                                  {"vn_country", &location.country},
                                                                  {"vn_country_code", &location.countryCode},
                                                                  {"vn_province", &location.province},
                                                                  {"vn_city", &location.city}};
    for (const auto& [key, value] : fields)
        if (!value->empty()) NativeUserTracker::ProfileUserPropertyString(key, *value);
}

void TelemetryTrackerImpl::profileAfterActivity() {
    const int64_t now = NowMilliseconds();
    NativeUserTracker::ProfileUserPropertyDateTime("$first_visit_time", now);
    NativeUserTracker::ProfileUserPropertyDateTime("vn_first_visit_date", now);
    NativeUserTracker::ProfileUserPropertyDateTime("vn_last_visit_date", now);
    NativeUserTracker::ProfileUserPropertyString("vn_os", environment_.osName);
    NativeUserTracker::ProfileUserPropertyString("vn_os_version", NormalizeUtf8(environment_.osVersion));
    NativeUserTracker::ProfileUserPropertyString("vn_app_store", NormalizeUtf8(config_.appStore));
    NativeUserTracker::ProfileUserPropertyString("vn_app_platform", environment_.osName);
    NativeUserTracker::ProfileUserPropertyString("vn_last_app_id", NormalizeUtf8(config_.appName));
    NativeUserTracker::ProfileUserPropertyString("vn_last_app_version", NormalizeUtf8(config_.appVersion));
    NativeUserTracker::ProfileUserPropertyString("$ios_install_source", "android_id=123##imei=1234##mac=123");
    addLocationProperties();
    state_->pendingRecords.fetch_add(1);
}

void TelemetryTrackerImpl::profileAfterLaunch() {
    if (state_->userId.empty()) return;
    const int64_t now = NowMilliseconds();
    NativeUserTracker::ProfileUserPropertyDateTime("$first_visit_time", now);
    NativeUserTracker::ProfileUserPropertyDateTime("vn_first_visit_date", now);
    NativeUserTracker::ProfileUserPropertyDateTime("vn_last_visit_date", now);
    addLocationProperties();
    state_->pendingRecords.fetch_add(1);
}

void TelemetryTrackerImpl::profileAfterPayment(float paidAmount) {
    const int64_t now = NowMilliseconds();
    NativeUserTracker::ProfileUserPropertyNumber("vn_paid_count", 1);
    NativeUserTracker::ProfileUserPropertyNumber("vn_consumption", static_cast<double>(paidAmount));
    NativeUserTracker::ProfileUserPropertyDateTime("vn_first_paid_date", now);
    NativeUserTracker::ProfileUserPropertyDateTime("vn_last_paid_date", now);
    addLocationProperties();
    state_->pendingRecords.fetch_add(1);
}

void TelemetryTrackerImpl::profileAfterLogin(const VnEventLogin& event, int64_t time) {
    using P = NativeUserTracker;
    P::ProfileUserPropertyString("vn_user_id", event.userId);
    P::ProfileUserPropertyString("vn_user_name", event.userName);
    P::ProfileUserPropertyNumber("vn_user_type", static_cast<int>(event.userType));
    const std::pair<const char*, const std::string*> optional[] = {
        {"vn_user_nickname", &event.nickname}, {"vn_user_portrait", &event.portrait},
        {"vn_user_mobilephone", &event.mobilephone}, {"vn_user_email", &event.email},
        {"vn_user_weixin", &event.weixin},     {"vn_user_qq", &event.qq},
        {"vn_user_did", &event.did}};
    for (const auto& [key, value] : optional)
        if (!value->empty()) P::ProfileUserPropertyString(key, *value);
    if (event.created >= 0) P::ProfileUserPropertyDateTime("vn_user_created", event.created);
    if (!event.lastIp.empty()) P::ProfileUserPropertyString("vn_user_last_ip", event.lastIp);
    if (event.lastLogin >= 0) P::ProfileUserPropertyDateTime("vn_user_last_login", event.lastLogin);
    P::ProfileUserPropertyNumber("vn_user_vip_level", event.vipLevel);
    if (event.vipEndDate > 0) P::ProfileUserPropertyDateTime("vn_user_vip_enddate", event.vipEndDate);
    addLocationProperties();
    const int64_t when = time <= 0 ? NowMilliseconds() : time;
    P::ProfileUserPropertyDateTime("$first_visit_time", when);
    P::ProfileUserPropertyDateTime("vn_first_visit_date", when);
    P::ProfileUserPropertyDateTime("vn_last_visit_date", when);
    state_->pendingRecords.fetch_add(1);
}

}  // namespace varno::telemetry
