#pragma once
// One child program started from an argument vector, with its standard streams connected
// to descriptors the caller chooses. Reading and writing those streams is the caller's job.
// A Process is used by one thread at a time.
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

// The exit code reported while the child runs. A Linux exit status is 0 to 255 and a death
// by signal N reads as 128 + N, so a finished child never reports this value.
inline constexpr int kStillActive = 259;

// Descriptors that become the child's 0, 1 and 2. They stay the caller's: the child gets
// copies. -1 connects that stream to /dev/null.
struct ChildStreams {
    int input = -1;
    int output = -1;
    int error = -1;
};

class Process {
public:
    // arguments[0] names the program: searched in PATH when it has no slash. Nothing but the
    // three streams reaches the child: every other descriptor is closed in it. The child gets
    // the installer's environment and current folder, and default signal handling for SIGPIPE.
    // A program that cannot be started (missing, not executable) is an error here.
    static Expected<Process, SystemError> Spawn(const std::vector<std::string>& arguments,
                                                const ChildStreams& streams);

    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Reaps a child that has already exited; one still running is left to run, as closing a
    // process handle would.
    ~Process();

    pid_t Id() const { return pid_; }

    // kStillActive while the child runs; then its exit status, or 128 + N after signal N.
    Expected<int, SystemError> ExitCode();
    // Blocks until the child has exited; the same value as ExitCode then.
    Expected<int, SystemError> Wait();
    // SIGKILL; a child already reaped is left alone, its process id may belong to another.
    Status<SystemError> Kill();

private:
    explicit Process(pid_t pid) : pid_(pid) {}
    Expected<int, SystemError> Reap(int options);

    pid_t pid_ = -1;
    bool reaped_ = false;
    int exitCode_ = kStillActive;
};

}  // namespace platform
