#pragma once
// Sole owner of one open file descriptor, and the pipes that connect the installer to its
// children. Every descriptor made here is close-on-exec, so no child inherits one by accident.
#include <cstddef>
#include <string_view>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Close(); }

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }  // -1 when closed
    int Release();
    void Close();

    // Blocks until at least one byte arrives or the writers have all gone; 0 means the end.
    Expected<size_t, SystemError> Read(char* buffer, size_t size) const;
    Status<SystemError> WriteAll(std::string_view bytes) const;

private:
    int fd_ = -1;
};

struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

// Both ends close-on-exec, default kernel buffer size.
Expected<Pipe, SystemError> CreatePipe();

}  // namespace platform
