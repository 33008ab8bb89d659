#include "platform/Clock.h"

#include <ctime>

namespace platform {

uint64_t TickCount64() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint32_t TickCount() { return static_cast<uint32_t>(TickCount64()); }

LocalTime LocalTimeNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec,
                     static_cast<int>(ts.tv_nsec / 1000000)};
}

}  // namespace platform
