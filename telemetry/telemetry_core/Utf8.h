#pragma once
// The UTF-8 validity test shared by the recording layer (string values) and the tracker's
// normaliser. Stricter than plain UTF-8: control bytes other than tab, line feed and
// carriage return make a text invalid.
#include <string_view>

namespace telemetry_core {

bool IsValidUtf8(std::string_view text);

}  // namespace telemetry_core
