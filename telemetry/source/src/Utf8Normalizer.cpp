#include "telemetry/source/src/Utf8Normalizer.h"

#include "platform/Text.h"
#include "telemetry/telemetry_core/Utf8.h"

namespace varno::telemetry {

std::string NormalizeUtf8(const std::string& text) { return NormalizeUtf8(text, platform::kCodePageAnsi); }

std::string NormalizeUtf8(const std::string& text, unsigned codePage) {
    if (telemetry_core::IsValidUtf8(text)) return text;
    return platform::WideToUtf8(platform::DecodeCodePage(text, codePage));
}

}  // namespace varno::telemetry
