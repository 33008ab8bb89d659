#pragma once
// The file-system questions and folders the installer asks for: the running executable,
// the user's standard folders, existence tests and single-level folder creation.
// Paths are wide strings with "/" between folders.
#include <optional>
#include <string>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

std::optional<std::wstring> EnvironmentVariable(const char* name);

std::wstring ExecutablePath();  // empty when unknown
std::wstring HomeFolder();
std::wstring ConfigHome();   // $XDG_CONFIG_HOME, default ~/.config
std::wstring DataHome();     // $XDG_DATA_HOME, default ~/.local/share
std::wstring StateHome();    // $XDG_STATE_HOME, default ~/.local/state
std::wstring CacheHome();    // $XDG_CACHE_HOME, default ~/.cache
// The program files folder: /opt for root, the data home for everyone else.
std::wstring ProgramFilesFolder();

// `name` inside `parent`, created with mode 0700 when missing. Refuses (EPERM) a folder
// that belongs to another user, is a symbolic link or is open to others, since files
// placed there are later run.
Expected<std::wstring, SystemError> PrivateFolder(const std::wstring& parent, const std::wstring& name);

bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);
bool IsExecutableFile(const std::wstring& path);
Status<SystemError> MakeDirectory(const std::wstring& path);  // one level, mode 0755
Status<SystemError> RemoveFile(const std::wstring& path);
Status<SystemError> CopyFile(const std::wstring& from, const std::wstring& to);
// Adds the execute permission wherever the file may be read: a downloaded program is
// written as plain data first.
Status<SystemError> MarkExecutable(const std::wstring& path);

std::wstring FileNamePart(const std::wstring& path);   // after the last "/"
std::wstring FolderPart(const std::wstring& path);     // before the last "/", "" when none
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);  // exactly one "/" between
// The canonical absolute form of an existing path, or nullopt.
std::optional<std::wstring> CanonicalPath(const std::wstring& path);

}  // namespace platform
