#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace platform {

std::wstring InstanceLock::LockFolder() {
    if (auto runtime = EnvironmentVariable("XDG_RUNTIME_DIR"); runtime && IsDirectory(*runtime)) return *runtime;
    // No runtime folder: a private folder of the user's in the shared temporary folder.
    const auto folder = PrivateFolder(L"/tmp", L"mavrix-" + std::to_wstring(::geteuid()));
    return folder ? *folder : std::wstring();
}

Expected<InstanceLock, SystemError> InstanceLock::Acquire(const std::wstring& name) {
    const std::wstring folder = LockFolder();
    if (folder.empty()) return MakeUnexpected(SystemError{EACCES});
    std::wstring fileName = name;
    for (auto& c : fileName) {
        if (c == L'/') c = L'_';
    }
    const std::string path = WideToUtf8(JoinPath(folder, fileName + L".lock"));
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return MakeUnexpected(SystemError::FromErrno());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EEXIST : errno;
        ::close(fd);
        return MakeUnexpected(SystemError{error});
    }
    return InstanceLock(fd);
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
}

}  // namespace platform
