#include "telemetry/telemetry_core/SendStatus.h"

#include <mutex>

namespace telemetry_core {
namespace {

std::mutex& FlagLock() {
    static std::mutex lock;
    return lock;
}
bool lastSendSucceeded = false;

}  // namespace

bool LastSendSucceeded() {
    std::lock_guard guard(FlagLock());
    return lastSendSucceeded;
}

void SetLastSendSucceeded(bool succeeded) {
    std::lock_guard guard(FlagLock());
    lastSendSucceeded = succeeded;
}

}  // namespace telemetry_core
