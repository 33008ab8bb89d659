#include "telemetry/source/src/VnContextProperties.h"

#include "telemetry/source/src/VnException.h"

namespace varno::telemetry {
namespace {

constexpr char kAbKey[] = "vnc_ab";

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLetterOrDigit(char c) { return IsUpper(c) || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

void CheckKind(VnEventType kind, const char* function) {
    const int n = static_cast<int>(kind);
    if (n < 0 || n >= kVnEventTypeCount) VN_THROW(function, "VnEvent[" + std::to_string(n) + "] overflow!");
}

}  // namespace

void VnContextProperties::setProperty(const std::string& value, const std::vector<VnEventType>& kinds) {
    auto shared = std::make_shared<const std::string>(value);
    if (!keys_.insert(kAbKey).second) VN_THROW("setProperty", std::string("Property[") + kAbKey + "] already exist!");
    for (const VnEventType kind : kinds) {
        CheckKind(kind, "setProperty");
        lists_[static_cast<int>(kind)].push_back(Entry{3, shared, kAbKey});
    }
}

const std::vector<VnContextProperties::Entry>& VnContextProperties::getEventProperties(VnEventType kind) const {
    CheckKind(kind, "getEventProperties");
    return lists_[static_cast<int>(kind)];
}

bool VnContextProperties::isValidABValue(const std::string& value) {
    if (value.empty()) return false;
    if (value.size() >= 4) VN_THROW("isValidABValue", "value's length is great than 3.");
    if (!IsUpper(value[0])) VN_THROW("isValidABValue", "First char is not in A to Z");
    if (value.size() > 1 && !IsLetterOrDigit(value[1]))
        VN_THROW("isValidABValue", "second char is not in A to Z and 0 to 9");
    if (value.size() > 2 && !IsLetterOrDigit(value[2]))
        VN_THROW("isValidABValue", "third char is not in A to Z and 0 to 9");
    return true;
}

bool VnContextProperties::mergeInto(VnEventType kind, telemetry_core::PropertiesNode& properties) const {
    const auto& entries = getEventProperties(kind);
    for (const auto& entry : entries) properties.SetString(entry.key, *entry.value);
    return !entries.empty();
}

}  // namespace varno::telemetry
