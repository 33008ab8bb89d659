#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int FileDescriptor::Release() { return std::exchange(fd_, -1); }

void FileDescriptor::Close() {
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

Expected<size_t, SystemError> FileDescriptor::Read(char* buffer, size_t size) const {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return MakeUnexpected(SystemError::FromErrno());
    }
}

Status<SystemError> FileDescriptor::WriteAll(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return MakeUnexpected(SystemError::FromErrno());
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return {};
}

Expected<Pipe, SystemError> CreatePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return MakeUnexpected(SystemError::FromErrno());
    return Pipe{FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

}  // namespace platform
