#include "telemetry/telemetry_core/Sdk.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>

#include "telemetry/telemetry_core/Complaint.h"
#include "telemetry/telemetry_core/EventConsumer.h"
#include "telemetry/telemetry_core/NameRules.h"

namespace telemetry_core {
namespace {

int64_t NowMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

PropertiesNode DefaultSuperProperties() {
    PropertiesNode node;
    node.SetString("$lib", kLibName);
    node.SetString("$lib_version", kLibVersion);
    return node;
}

class Recorder {
public:
    Recorder(const std::string& stagingFile, const std::string& serverUrl, std::string distinctId, bool isLoginId)
        : superProperties_(DefaultSuperProperties()),
          distinctId_(std::move(distinctId)),
          isLoginId_(isLoginId),
          random_(static_cast<unsigned>(NowMilliseconds() / 1000)),
          consumer_(stagingFile, serverUrl) {}

    // type: "track", "track_signup", "profile_set", ...; original id only for "track_signup".
    void AddRecord(const std::string& type, const std::string& eventName, const PropertiesNode& properties,
                   const std::string& distinctId, const std::string& originalId);
    void AddRecord(const std::string& type, const std::string& eventName, const PropertiesNode& properties) {
        AddRecord(type, eventName, properties, Identity().first, "");
    }

    std::pair<std::string, bool> Identity() {
        std::lock_guard guard(stateLock_);
        return {distinctId_, isLoginId_};
    }
    void SetIdentity(std::string id, bool login) {
        std::lock_guard guard(stateLock_);
        distinctId_ = std::move(id);
        isLoginId_ = login;
    }
    void MergeSuperProperties(const PropertiesNode& properties) {
        std::lock_guard guard(stateLock_);
        superProperties_.Merge(properties);
    }
    void ClearSuperProperties() {
        std::lock_guard guard(stateLock_);
        superProperties_ = DefaultSuperProperties();
    }
    EventConsumer& Consumer() { return consumer_; }

private:
    int64_t NextTrackId();

    std::mutex stateLock_;  // guards the super properties, the identity and the generator
    PropertiesNode superProperties_;
    std::string distinctId_;
    bool isLoginId_;
    std::minstd_rand random_;
    EventConsumer consumer_;
};

int64_t Recorder::NextTrackId() {
    unsigned a, b;
    {
        std::lock_guard guard(stateLock_);
        a = static_cast<unsigned>(random_());
        b = static_cast<unsigned>(random_());
    }
    const std::string first = std::to_string(a % 99 + 100).substr(1);
    const std::string second = std::to_string(b % 999 + 1000).substr(1);
    std::string third = std::to_string(NowMilliseconds());
    third = third.substr(third.size() - 4);
    return std::stoll(first + second + third);
}

void Recorder::AddRecord(const std::string& type, const std::string& eventName, const PropertiesNode& properties,
                         const std::string& distinctId, const std::string& originalId) {
    // Pass 1: names, ids and the two reserved properties.
    for (const auto& [key, value] : properties.Entries()) {
        if (!CheckName(key, "Property Key")) return;
        if (key == "$time" && utils::KindOf(value) != utils::ValueKind::DateTime) {
            Complain("The property '$time' should be DateTime type.");
            return;
        }
        if (key == "$project" && utils::KindOf(value) != utils::ValueKind::String) {
            Complain("The property '$project' should be String type.");
            return;
        }
    }
    if (type == "track" && !CheckName(eventName, "Event Name")) return;
    if (type == "track_signup" && !CheckId(originalId, "Original ID")) return;

    // Pass 2: the property set, super properties first for track records.
    PropertiesNode all;
    bool isLogin;
    {
        std::lock_guard guard(stateLock_);
        if (type.find("track") != std::string::npos) all.Merge(superProperties_);
        isLogin = isLoginId_;
    }
    all.Merge(properties);

    int64_t time = NowMilliseconds();
    if (const auto* t = all.Find("$time")) {
        const auto& dt = std::get<utils::DateTime>(*t);
        time = dt.seconds * 1000 + dt.milliseconds;
        all.Remove("$time");
    }
    std::string project;
    bool hasProject = false;
    if (const auto* p = all.Find("$project")) {
        project = std::get<std::string>(*p);
        hasProject = true;
        all.Remove("$project");
    }
    if (isLogin) all.SetBool("$is_login_id", true);

    // Pass 3: the record itself; the map orders its keys.
    utils::ObjectNode lib;
    lib.Set("$lib", std::string(kLibName));
    lib.Set("$lib_version", std::string(kLibVersion));
    lib.Set("$lib_method", std::string("code"));
    utils::ObjectNode record;
    record.Set("type", type);
    record.Set("time", time);
    record.Set("distinct_id", distinctId);
    record.SetObject("properties", std::move(all));
    record.SetObject("lib", std::move(lib));
    record.Set("_track_id", NextTrackId());
    if (hasProject) record.Set("project", project);
    if (type == "track" || type == "track_signup") record.Set("event", eventName);
    if (type == "track_signup") record.Set("original_id", originalId);
    consumer_.Push(record.ToJson());
}

// The recorder is replaced only by Init and Shutdown; everything else uses it under the
// shared lock, so a flush on one thread keeps it alive while another thread shuts down.
std::shared_mutex& InstanceLock() {
    static std::shared_mutex lock;
    return lock;
}
std::unique_ptr<Recorder>& Instance() {
    static std::unique_ptr<Recorder> instance;
    return instance;
}

template <class F>
auto WithRecorder(F&& f) {
    std::shared_lock guard(InstanceLock());
    Recorder* recorder = Instance().get();
    return f(recorder);
}

void AddProfileRecord(const char* type, const PropertiesNode& properties) {
    WithRecorder([&](Recorder* r) {
        if (r) r->AddRecord(type, "", properties);
    });
}

}  // namespace

bool Sdk::Init(const std::string& stagingFile, const std::string& serverUrl, const std::string& distinctId,
               bool isLoginId) {
    if (!CheckId(distinctId, "Distinct ID")) return false;
    std::unique_lock guard(InstanceLock());
    if (!Instance()) Instance() = std::make_unique<Recorder>(stagingFile, serverUrl, distinctId, isLoginId);
    return true;
}

void Sdk::Shutdown() {
    std::unique_ptr<Recorder> recorder;
    {
        std::unique_lock guard(InstanceLock());
        recorder = std::move(Instance());
    }
    if (recorder) recorder->Consumer().Close();
}

bool Sdk::IsInitialized() {
    return WithRecorder([](Recorder* r) { return r != nullptr; });
}

void Sdk::Track(const std::string& eventName, const PropertiesNode& properties) {
    WithRecorder([&](Recorder* r) {
        if (r) r->AddRecord("track", eventName, properties);
    });
}

void Sdk::TrackInstallation(const std::string& eventName, const PropertiesNode& properties) {
    PropertiesNode all;
    all.SetString("$ios_install_source", "");
    all.Merge(properties);
    Track(eventName, all);
}

void Sdk::Login(const std::string& loginId) {
    WithRecorder([&](Recorder* r) {
        if (!r) return;
        r->AddRecord("track_signup", "$SignUp", PropertiesNode{}, loginId, r->Identity().first);
        r->SetIdentity(loginId, true);
    });
}

void Sdk::ProfileSet(const PropertiesNode& properties) { AddProfileRecord("profile_set", properties); }
void Sdk::ProfileSetOnce(const PropertiesNode& properties) { AddProfileRecord("profile_set_once", properties); }
void Sdk::ProfileIncrement(const PropertiesNode& properties) { AddProfileRecord("profile_increment", properties); }

void Sdk::ProfileAppend(const std::string& key, const std::string& value) {
    PropertiesNode properties;
    properties.SetList(key, {value});
    AddProfileRecord("profile_append", properties);
}

void Sdk::RegisterSuperProperties(const PropertiesNode& properties) {
    WithRecorder([&](Recorder* r) {
        if (r) r->MergeSuperProperties(properties);
    });
}

void Sdk::ClearSuperProperties() {
    WithRecorder([](Recorder* r) {
        if (r) r->ClearSuperProperties();
    });
}

bool Sdk::Flush() {
    return WithRecorder([](Recorder* r) { return r ? r->Consumer().Flush() : false; });
}

size_t Sdk::QueuedRecords() {
    return WithRecorder([](Recorder* r) { return r ? r->Consumer().QueuedRecords() : size_t{0}; });
}

std::string Sdk::DistinctId() {
    return WithRecorder([](Recorder* r) { return r ? r->Identity().first : std::string(); });
}

bool Sdk::IsLoginId() {
    return WithRecorder([](Recorder* r) { return r ? r->Identity().second : false; });
}

void Sdk::SetDistinctId(const std::string& distinctId, bool isLoginId) {
    WithRecorder([&](Recorder* r) {
        if (r) r->SetIdentity(distinctId, isLoginId);
    });
}

}  // namespace telemetry_core
