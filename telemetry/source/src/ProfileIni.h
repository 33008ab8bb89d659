#pragma once
// The tracker's UTF-8 view of the platform's profile (INI) files: the identity file and the
// "Set.ini" that may name it.
#include <optional>
#include <string>

namespace varno::telemetry {

// Values are read into buffers of 128 characters, as the identity file has always been.
std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key);
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace varno::telemetry
