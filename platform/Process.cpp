#include "platform/Process.h"

#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace platform {
namespace {

// The file actions and attributes of one spawn, released on every path.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    int Prepare(const ChildStreams& streams) {
        int rc = 0;
        const int sources[] = {streams.input, streams.output, streams.error};
        for (int target = 0; target < 3 && rc == 0; ++target) {
            rc = sources[target] >= 0
                     ? posix_spawn_file_actions_adddup2(&actions_, sources[target], target)
                     : posix_spawn_file_actions_addopen(&actions_, target, "/dev/null", O_RDWR, 0);
        }
        // Descriptors opened without close-on-exec by anyone in this process (or inherited
        // from our own parent) must not outlive the spawn either.
        if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        if (rc == 0) rc = ResetSignals();
        return rc;
    }

    int Spawn(pid_t& pid, const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        const bool searchPath = arguments[0].find('/') == std::string::npos;
        return searchPath ? posix_spawnp(&pid, argv[0], &actions_, &attributes_, argv.data(), environ)
                          : posix_spawn(&pid, argv[0], &actions_, &attributes_, argv.data(), environ);
    }

private:
    // A parent that ignores SIGPIPE (network code does) or blocks signals must not pass that on.
    int ResetSignals() {
        sigset_t defaults;
        sigset_t mask;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigemptyset(&mask);
        int rc = posix_spawnattr_setsigdefault(&attributes_, &defaults);
        if (rc == 0) rc = posix_spawnattr_setsigmask(&attributes_, &mask);
        if (rc == 0) rc = posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        return rc;
    }

    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// The child's streams are set up by dup2 in order 0, 1, 2, so a source below 3 could be
// overwritten before it is copied (a parent started with closed standard streams gets its
// pipes there). Such sources are first moved above 2; the copies close after the spawn.
Expected<ChildStreams, SystemError> LiftLowSources(const ChildStreams& streams, FileDescriptor (&copies)[3]) {
    int fds[] = {streams.input, streams.output, streams.error};
    for (int k = 0; k < 3; ++k) {
        if (fds[k] < 0 || fds[k] > 2) continue;
        copies[k] = FileDescriptor(::fcntl(fds[k], F_DUPFD_CLOEXEC, 3));
        if (!copies[k].IsOpen()) return MakeUnexpected(SystemError::FromErrno());
        fds[k] = copies[k].Get();
    }
    return ChildStreams{fds[0], fds[1], fds[2]};
}

int DecodeWaitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kStillActive;
}

}  // namespace

Expected<Process, SystemError> Process::Spawn(const std::vector<std::string>& arguments,
                                              const ChildStreams& streams) {
    if (arguments.empty() || arguments[0].empty()) return MakeUnexpected(SystemError{ENOENT});
    FileDescriptor copies[3];
    const Expected<ChildStreams, SystemError> lifted = LiftLowSources(streams, copies);
    if (!lifted) return MakeUnexpected(lifted.error());
    SpawnSetup setup;
    pid_t pid = -1;
    int rc = setup.Prepare(*lifted);
    if (rc == 0) rc = setup.Spawn(pid, arguments);
    if (rc != 0) return MakeUnexpected(SystemError{rc});
    return Process(pid);
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      reaped_(std::exchange(other.reaped_, false)),
      exitCode_(std::exchange(other.exitCode_, kStillActive)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0 && !reaped_) (void)Reap(WNOHANG);
        pid_ = std::exchange(other.pid_, -1);
        reaped_ = std::exchange(other.reaped_, false);
        exitCode_ = std::exchange(other.exitCode_, kStillActive);
    }
    return *this;
}

Process::~Process() {
    if (pid_ > 0 && !reaped_) (void)Reap(WNOHANG);
}

Expected<int, SystemError> Process::ExitCode() { return Reap(WNOHANG); }

Expected<int, SystemError> Process::Wait() { return Reap(0); }

Status<SystemError> Process::Kill() {
    if (reaped_) return {};
    if (::kill(pid_, SIGKILL) != 0) return MakeUnexpected(SystemError::FromErrno());
    return {};
}

Expected<int, SystemError> Process::Reap(int options) {
    if (pid_ <= 0) return MakeUnexpected(SystemError{ECHILD});
    while (!reaped_) {
        int status = 0;
        const pid_t rc = ::waitpid(pid_, &status, options);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) return MakeUnexpected(SystemError::FromErrno());
        if (rc == 0) return kStillActive;  // WNOHANG and still running
        // Stopped or continued children are reported only with WUNTRACED/WCONTINUED, which
        // we never ask for, so this status is final.
        exitCode_ = DecodeWaitStatus(status);
        reaped_ = true;
    }
    return exitCode_;
}

}  // namespace platform
