#pragma once
// Keys of an INI file read and written one at a time, with the profile API's rules:
// sections and keys compared ignoring case, every other line kept, the file and its
// section created as needed and replaced atomically.
#include <optional>
#include <string>

namespace varno::telemetry {

std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key);
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace varno::telemetry
