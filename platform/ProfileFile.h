#pragma once
// Profile (INI) files with the rules of the Windows profile API: section and key names
// compared ignoring case, the first matching section and key win, values trimmed (and
// surrounding quotes removed), every other line kept when writing, files written
// atomically. Files are UTF-8.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/Expected.h"
#include "platform/SystemError.h"

namespace platform {

class ProfileFile {
public:
    // The value of `key` in `section`, or std::nullopt when the file, section or key is
    // missing. The result is cut to `bufferChars - 1` characters, as a caller's buffer of
    // that size would hold.
    static std::optional<std::wstring> ReadString(const std::wstring& path, const std::wstring& section,
                                                  const std::wstring& key, size_t bufferChars);

    // Like ReadString, with `fallback` (cut the same way) for a missing value.
    static std::wstring GetString(const std::wstring& path, const std::wstring& section,
                                  const std::wstring& key, const std::wstring& fallback, size_t bufferChars);

    // The value read as an integer: optional white space, an optional sign, then decimal
    // digits ("0x" introduces hexadecimal); no number reads as 0; a missing key gives
    // `fallback`. Values out of range wrap as a 32-bit unsigned number would.
    static int GetInt(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                      int fallback);

    // Sets the key, creating the file, section and key as needed.
    static Status<SystemError> WriteString(const std::wstring& path, const std::wstring& section,
                                           const std::wstring& key, const std::wstring& value);
};

}  // namespace platform
