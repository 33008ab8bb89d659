#pragma once
// The recording layer's complaints (refused names, values and sends) go to standard error,
// one whole line per write so that lines from several threads do not interleave.
#include <string_view>

namespace telemetry_core {

void Complain(std::string_view line);

}  // namespace telemetry_core
