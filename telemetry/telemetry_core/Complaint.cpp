#include "telemetry/telemetry_core/Complaint.h"

#include <cstdio>
#include <string>

namespace telemetry_core {

void Complain(std::string_view line) {
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace telemetry_core
