#include "platform/ThreadName.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int CurrentProcessId() { return static_cast<int>(getpid()); }

int CurrentThreadId() { return static_cast<int>(syscall(SYS_gettid)); }

void SetCurrentThreadName(const std::string& name) {
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace platform
