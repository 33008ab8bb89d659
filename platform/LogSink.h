#pragma once
// Where diagnostic lines go: standard error, one write per line so that lines from several
// threads never interleave.
#include <string_view>

namespace platform {

void WriteLogLine(std::string_view line);

}  // namespace platform
