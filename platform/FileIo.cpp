#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>

namespace platform {
namespace {

Status<SystemError> WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return MakeUnexpected(SystemError::FromErrno());
        done += static_cast<size_t>(n);
    }
    return {};
}

}  // namespace

Expected<std::string, SystemError> ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return MakeUnexpected(SystemError::FromErrno());
    std::string content;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const SystemError error = SystemError::FromErrno();
            ::close(fd);
            return MakeUnexpected(error);
        }
        if (n == 0) break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return content;
}

Status<SystemError> WriteFileAtomically(const std::string& path, const std::string& content, unsigned newFileMode) {
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode;
    const std::string temporary = path + ".tmp" + std::to_string(std::random_device{}());

    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return MakeUnexpected(SystemError::FromErrno());
    Status<SystemError> written = WriteAll(fd, content);
    if (written && ::fsync(fd) != 0) written = MakeUnexpected(SystemError::FromErrno());
    ::close(fd);
    if (written && ::rename(temporary.c_str(), path.c_str()) != 0) written = MakeUnexpected(SystemError::FromErrno());
    if (!written) ::unlink(temporary.c_str());
    return written;
}

}  // namespace platform
