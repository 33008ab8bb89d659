#include "platform/Paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/Text.h"

namespace platform {
namespace {

std::string Narrow(const std::wstring& path) { return WideToUtf8(path); }

std::wstring XdgFolder(const char* variable, const wchar_t* fallbackBelowHome) {
    auto value = EnvironmentVariable(variable);
    if (value && !value->empty() && value->front() == L'/') return *value;  // relative values are invalid
    return JoinPath(HomeFolder(), fallbackBelowHome);
}

}  // namespace

std::optional<std::wstring> EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return Utf8ToWide(value);
}

std::wstring ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return Utf8ToWide(std::string_view(buffer, static_cast<size_t>(n)));
}

std::wstring HomeFolder() {
    if (auto home = EnvironmentVariable("HOME"); home && !home->empty()) return *home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return Utf8ToWide(entry->pw_dir);
    return L"/";
}

std::wstring ConfigHome() { return XdgFolder("XDG_CONFIG_HOME", L".config"); }
std::wstring DataHome() { return XdgFolder("XDG_DATA_HOME", L".local/share"); }
std::wstring StateHome() { return XdgFolder("XDG_STATE_HOME", L".local/state"); }
std::wstring CacheHome() { return XdgFolder("XDG_CACHE_HOME", L".cache"); }

std::wstring ProgramFilesFolder() { return ::geteuid() == 0 ? std::wstring(L"/opt") : DataHome(); }

Expected<std::wstring, SystemError> PrivateFolder(const std::wstring& parent, const std::wstring& name) {
    const std::wstring folder = JoinPath(parent, name);
    const std::string narrow = Narrow(folder);
    if (::mkdir(narrow.c_str(), 0700) != 0 && errno != EEXIST) return MakeUnexpected(SystemError::FromErrno());
    struct stat info {};
    if (::lstat(narrow.c_str(), &info) != 0) return MakeUnexpected(SystemError::FromErrno());
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        return MakeUnexpected(SystemError{EPERM});
    }
    return folder;
}

bool PathExists(const std::wstring& path) {
    struct stat info {};
    return !path.empty() && ::stat(Narrow(path).c_str(), &info) == 0;
}

bool IsDirectory(const std::wstring& path) {
    struct stat info {};
    return ::stat(Narrow(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsExecutableFile(const std::wstring& path) {
    struct stat info {};
    return ::stat(Narrow(path).c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(Narrow(path).c_str(), X_OK) == 0;
}

Status<SystemError> MakeDirectory(const std::wstring& path) {
    if (::mkdir(Narrow(path).c_str(), 0755) != 0) return MakeUnexpected(SystemError::FromErrno());
    return {};
}

Status<SystemError> RemoveFile(const std::wstring& path) {
    if (::unlink(Narrow(path).c_str()) != 0) return MakeUnexpected(SystemError::FromErrno());
    return {};
}

Status<SystemError> CopyFile(const std::wstring& from, const std::wstring& to) {
    const int in = ::open(Narrow(from).c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return MakeUnexpected(SystemError::FromErrno());
    struct stat info {};
    ::fstat(in, &info);
    const int out = ::open(Narrow(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, info.st_mode & 0777);
    if (out < 0) {
        const SystemError error = SystemError::FromErrno();
        ::close(in);
        return MakeUnexpected(error);
    }
    char buffer[65536];
    Status<SystemError> result;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) result = MakeUnexpected(SystemError::FromErrno());
            break;
        }
        if (::write(out, buffer, static_cast<size_t>(n)) != n) {
            result = MakeUnexpected(SystemError::FromErrno());
            break;
        }
    }
    ::fchmod(out, info.st_mode & 0777);
    if (::close(out) != 0 && result) result = MakeUnexpected(SystemError::FromErrno());
    ::close(in);
    return result;
}

Status<SystemError> MarkExecutable(const std::wstring& path) {
    struct stat info {};
    const std::string narrow = Narrow(path);
    if (::stat(narrow.c_str(), &info) != 0) return MakeUnexpected(SystemError::FromErrno());
    const mode_t readable = info.st_mode & 0444;
    if (::chmod(narrow.c_str(), (info.st_mode & 07777) | (readable >> 2)) != 0) {
        return MakeUnexpected(SystemError::FromErrno());
    }
    return {};
}

std::wstring FileNamePart(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderPart(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos) return {};
    return slash == 0 ? std::wstring(L"/") : path.substr(0, slash);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    std::wstring rest = name;
    while (!rest.empty() && rest.front() == L'/') rest.erase(0, 1);
    return folder.back() == L'/' ? folder + rest : folder + L"/" + rest;
}

std::optional<std::wstring> CanonicalPath(const std::wstring& path) {
    char* resolved = ::realpath(Narrow(path).c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::wstring result = Utf8ToWide(resolved);
    std::free(resolved);
    return result;
}

}  // namespace platform
