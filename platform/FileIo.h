#pragma once
// Whole-file reads and atomic whole-file writes (a temporary file beside the target, then
// rename), for the small record files the installer keeps.
#include <string>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

Expected<std::string, SystemError> ReadWholeFile(const std::string& path);

// Replaces `path` with `content` atomically, keeping the old file's permission bits
// (new files get `newFileMode`).
Status<SystemError> WriteFileAtomically(const std::string& path, const std::string& content,
                                        unsigned newFileMode = 0644);

}  // namespace platform
