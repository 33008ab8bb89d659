#include "tools/package/ProtocolOutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

namespace Package {

void ProtocolOutput::Line(std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + value.size() + 2);
    line.append(key).append("=").append(value).append("\n");
    // A reader that went away must not stop the installation half-way: write errors are
    // ignored (SIGPIPE is ignored by the programs' entry functions).
    for (std::string_view rest = line; !rest.empty();) {
        const ssize_t written = ::write(fd_, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        rest.remove_prefix(static_cast<size_t>(written));
    }
}

void ProtocolOutput::Progress(double fraction) {
    const int hundredth = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100.0));
    if (hundredth == lastHundredth_) return;
    lastHundredth_ = hundredth;
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", hundredth / 100, hundredth % 100);
    Line("Progress", text);
}

void ProtocolOutput::Fail(std::string_view message) {
    Line("Error", message);
    Line("State", "Fail");
}

}  // namespace Package
