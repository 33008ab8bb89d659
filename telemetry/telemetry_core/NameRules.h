#pragma once
// The rules for event names, property keys and ids. A refused value is reported on standard
// error with the rule's message; `what` names the value ("Event Name", "Property Key",
// "Distinct ID", "Original ID").
#include <string_view>

namespace telemetry_core {

inline constexpr size_t kMaxNameBytes = 100;
inline constexpr size_t kMaxIdBytes = 255;

// 1 to 100 bytes; a letter, "$" or "_" first, then letters, digits, "$" or "_".
bool CheckName(std::string_view name, std::string_view what);
// 1 to 255 bytes, anything else goes.
bool CheckId(std::string_view id, std::string_view what);

}  // namespace telemetry_core
