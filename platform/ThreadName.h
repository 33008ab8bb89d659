#pragma once
// Identity of processes and threads as the system numbers them, and thread names.
#include <string>

namespace platform {

int CurrentProcessId();
int CurrentThreadId();  // the kernel's thread id
// Names the calling thread for debuggers and `top`; the system keeps 15 bytes of it.
void SetCurrentThreadName(const std::string& name);

}  // namespace platform
