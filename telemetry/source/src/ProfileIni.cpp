#include "telemetry/source/src/ProfileIni.h"

#include "platform/ProfileFile.h"
#include "platform/Text.h"

namespace varno::telemetry {
namespace {

constexpr size_t kValueBufferChars = 128;

}  // namespace

std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key) {
    const auto value = platform::ProfileFile::ReadString(platform::Utf8ToWide(file), platform::Utf8ToWide(section),
                                                         platform::Utf8ToWide(key), kValueBufferChars);
    if (!value) return std::nullopt;
    return platform::WideToUtf8(*value);
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    return platform::ProfileFile::WriteString(platform::Utf8ToWide(file), platform::Utf8ToWide(section),
                                              platform::Utf8ToWide(key), platform::Utf8ToWide(value))
        .ok();
}

}  // namespace varno::telemetry
