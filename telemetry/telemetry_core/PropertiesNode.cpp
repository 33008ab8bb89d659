#include "telemetry/telemetry_core/PropertiesNode.h"

#include "telemetry/telemetry_core/Complaint.h"
#include "telemetry/telemetry_core/Utf8.h"

namespace telemetry_core {

bool PropertiesNode::SetString(const std::string& key, std::string_view value) {
    if (value.size() > kMaxStringPropertyBytes) {
        Complain("String property '" + key + "' is too long, value: " + std::string(value));
        return false;
    }
    if (!IsValidUtf8(value)) {
        Complain("String property '" + key + "' is not valid UTF-8 string, value: " + std::string(value));
        return false;
    }
    Set(key, std::string(value));
    return true;
}

}  // namespace telemetry_core
