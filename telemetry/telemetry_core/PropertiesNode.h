#pragma once
// The property set of one analytics record: an ObjectNode whose setters refuse string values
// that are too long or not UTF-8, complaining on standard error and leaving the property out.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "telemetry/telemetry_core/ObjectNode.h"

namespace telemetry_core {

inline constexpr size_t kMaxStringPropertyBytes = 8192;

class PropertiesNode : public utils::ObjectNode {
public:
    // Each setter replaces an existing entry of the same key. The string setters return
    // false when the value was refused.
    bool SetString(const std::string& key, std::string_view value);
    bool SetString(const std::string& key, const char* value) { return SetString(key, std::string_view(value ? value : "")); }
    void SetNumber(const std::string& key, double value) { Set(key, value); }
    void SetInteger(const std::string& key, int64_t value) { Set(key, value); }
    void SetBool(const std::string& key, bool value) { Set(key, value); }
    void SetDateTime(const std::string& key, utils::DateTime value) { Set(key, value); }
    void SetList(const std::string& key, std::vector<std::string> values) { Set(key, std::move(values)); }
};

}  // namespace telemetry_core
