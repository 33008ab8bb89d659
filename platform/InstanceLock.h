#pragma once
// A named lock shared by all processes of the user, held while the object lives. The
// kernel releases it when the process ends, so a crash leaves no stale lock.
#include <string>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

class InstanceLock {
public:
    // EEXIST when another process holds a lock of that name.
    static Expected<InstanceLock, SystemError> Acquire(const std::wstring& name);

    InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // The folder that holds the lock files.
    static std::wstring LockFolder();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace platform
