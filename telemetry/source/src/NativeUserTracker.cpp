#include "telemetry/source/src/NativeUserTracker.h"

#include <unordered_map>

#include "telemetry/source/src/VnException.h"
#include "telemetry/telemetry_core/Sdk.h"

namespace varno::telemetry {
namespace {

enum class WriteKind { SetOnce = 1, Increment = 2, Set = 3, Append = 4 };

const std::unordered_map<std::string, WriteKind>& PropertyTable() {
    static const std::unordered_map<std::string, WriteKind> table = [] {
        std::unordered_map<std::string, WriteKind> t;
        for (const char* key : {"$first_visit_time", "vn_first_visit_date", "$ios_install_source", "vn_first_paid_date"})
            t.emplace(key, WriteKind::SetOnce);
        for (const char* key : {"vn_visit_count", "vn_paid_count", "vn_consumption"}) t.emplace(key, WriteKind::Increment);
        for (const char* key :
             {"vn_label",          "vn_os",            "vn_os_version",      "vn_manufacturer",     "vn_model",
              "vn_app_store",      "vn_app_platform",  "vn_last_app_id",     "vn_last_app_version", "vn_carrier",
              "vn_last_visit_date", "aurora_pushid",   "vn_user_id",         "vn_user_name",        "vn_user_type",
              "vn_user_nickname",  "vn_user_portrait", "vn_user_mobilephone", "vn_user_email",      "vn_user_weixin",
              "vn_user_qq",        "vn_user_did",      "vn_user_created",    "vn_user_last_login",  "vn_user_last_ip",
              "vn_user_vip_level", "vn_user_vip_enddate", "idfa",            "imei",                "android_id",
              "oaid",              "vn_ip",            "vn_country_code",    "vn_country",          "vn_province",
              "vn_city",           "vn_last_paid_date"})
            t.emplace(key, WriteKind::Set);
        return t;
    }();
    return table;
}

WriteKind KindOf(const std::string& key, const char* function) {
    const auto it = PropertyTable().find(key);
    if (it == PropertyTable().end()) VN_THROW(function, "Not supported user property [" + key + "]!");
    return it->second;
}

void Send(WriteKind kind, const telemetry_core::PropertiesNode& properties) {
    if (kind == WriteKind::SetOnce) telemetry_core::Sdk::ProfileSetOnce(properties);
    else if (kind == WriteKind::Increment) telemetry_core::Sdk::ProfileIncrement(properties);
    else telemetry_core::Sdk::ProfileSet(properties);
}

}  // namespace

void NativeUserTracker::ProfileUserPropertyString(const std::string& key, const std::string& value) {
    const WriteKind kind = KindOf(key, "ProfileUserPropertyString");
    if (kind == WriteKind::Increment)
        VN_THROW("ProfileUserPropertyString",
                 "user property [" + key + "] is string type value, it cannot be accumulated!");
    if (kind == WriteKind::Append) {
        telemetry_core::Sdk::ProfileAppend(key, value);
        return;
    }
    telemetry_core::PropertiesNode properties;
    properties.SetString(key, value);
    Send(kind, properties);
}

void NativeUserTracker::ProfileUserPropertyNumber(const std::string& key, int64_t value) {
    const WriteKind kind = KindOf(key, "ProfileUserPropertyNumber");
    if (kind == WriteKind::Append)
        VN_THROW("ProfileUserPropertyNumber", "user property [" + key + "] is number value, it cannot be append to list!");
    telemetry_core::PropertiesNode properties;
    properties.SetInteger(key, value);
    Send(kind, properties);
}

void NativeUserTracker::ProfileUserPropertyNumber(const std::string& key, double value) {
    const WriteKind kind = KindOf(key, "ProfileUserPropertyNumber");
    if (kind == WriteKind::Append)
        VN_THROW("ProfileUserPropertyNumber", "user property [" + key + "] is number value, it cannot be append to list!");
    telemetry_core::PropertiesNode properties;
    properties.SetNumber(key, value);
    Send(kind, properties);
}

void NativeUserTracker::ProfileUserPropertyDateTime(const std::string& key, int64_t time) {
    const WriteKind kind = KindOf(key, "ProfileUserPropertyDateTime");
    if (kind == WriteKind::Increment)
        VN_THROW("ProfileUserPropertyDateTime",
                 "user property [" + key + "] is boolean value, it cannot be accumulative!");
    if (kind == WriteKind::Append)
        VN_THROW("ProfileUserPropertyDateTime",
                 "user property [" + key + "] is boolean value, it cannot be append to list!");
    telemetry_core::PropertiesNode properties;
    properties.SetDateTime(key, telemetry_core::utils::DateTimeFromSecondsOrMilliseconds(time));
    Send(kind, properties);
}

}  // namespace varno::telemetry
