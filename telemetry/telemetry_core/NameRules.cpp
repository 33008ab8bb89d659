#include "telemetry/telemetry_core/NameRules.h"

#include <string>

#include "telemetry/telemetry_core/Complaint.h"

namespace telemetry_core {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool CheckName(std::string_view name, std::string_view what) {
    if (name.empty() || name.size() > kMaxNameBytes) {
        Complain("The " + std::string(what) + " is empty or too long, max length is 100");
        return false;
    }
    bool valid = IsAsciiLetter(name[0]) || name[0] == '$' || name[0] == '_';
    for (size_t i = 1; valid && i < name.size(); ++i) {
        const char c = name[i];
        valid = IsAsciiLetter(c) || IsAsciiDigit(c) || c == '$' || c == '_';
    }
    if (!valid) Complain("The " + std::string(what) + " need to be a valid variable name.");
    return valid;
}

bool CheckId(std::string_view id, std::string_view what) {
    if (id.empty()) {
        Complain("The " + std::string(what) + " is empty.");
        return false;
    }
    if (id.size() > kMaxIdBytes) {
        Complain("The " + std::string(what) + " is too long, max length is 255.");
        return false;
    }
    return true;
}

}  // namespace telemetry_core
