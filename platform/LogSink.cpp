#include "platform/LogSink.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

void WriteLogLine(std::string_view line) {
    // A line goes out in one write call, which the kernel keeps whole against other
    // threads' lines; the loop only finishes a write that a signal cut short.
    const char* data = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace platform
