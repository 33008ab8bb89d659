#pragma once
// Time sources: the monotonic millisecond tick count and the local wall-clock time.
#include <cstdint>

namespace platform {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Milliseconds of the monotonic clock, wrapping like a 32-bit tick counter.
uint32_t TickCount();
// Milliseconds of the monotonic clock, 64-bit.
uint64_t TickCount64();
LocalTime LocalTimeNow();

}  // namespace platform
