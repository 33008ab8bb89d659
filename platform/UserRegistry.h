#pragma once
// The per-user registry: string values by name under a key path such as
// "Software\VarnoSoft\Mavrix", kept as one file per key below the user's configuration
// folder and replaced atomically. Key paths and value names ignore letter case; a value
// reads back exactly as it was written (zero characters included).
#include <string>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

class UserRegistry {
public:
    // ENOENT when the key or the value does not exist.
    static Expected<std::wstring, SystemError> ReadString(const std::wstring& keyPath, const std::wstring& valueName);
    // Creates the key as needed.
    static Status<SystemError> WriteString(const std::wstring& keyPath, const std::wstring& valueName,
                                           const std::wstring& data);
    // The file that holds a key's values.
    static std::wstring KeyFile(const std::wstring& keyPath);
};

}  // namespace platform
