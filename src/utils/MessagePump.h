#pragma once
// Keeps the window thread's windows responsive for a moment before the caller blocks:
// handles messages for a little over 100 milliseconds.
#include "platform/window/WindowSystem.h"

namespace Utils {

// Handles messages of the calling (window) thread, waiting for one when none is queued,
// until more than 100 ms of the window layer's clock have passed since the start (checked
// after each message; result true). It stops early, with false, when window is given and no
// longer exists, when the loop ends or fails, or on a quit message, which it posts again so
// the caller's own loop ends too.
bool PumpMessagesFor100ms(platform::ui::WindowHandle window);

}  // namespace Utils
