#include "telemetry/telemetry_core/Utf8.h"

namespace telemetry_core {
namespace {

bool InRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

}  // namespace

bool IsValidUtf8(std::string_view text) {
    const size_t n = text.size();
    size_t i = 0;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    // Checks `count` continuation bytes after the lead, the first of them in [low, high].
    auto follows = [&](size_t count, unsigned char low, unsigned char high) {
        if (i + count >= n) return false;  // the sequence is cut off
        if (!InRange(byte(i + 1), low, high)) return false;
        for (size_t k = 2; k <= count; ++k)
            if (!InRange(byte(i + k), 0x80, 0xBF)) return false;
        i += count + 1;
        return true;
    };
    while (i < n) {
        const unsigned char c = byte(i);
        bool ok = false;
        if (c == 0x09 || c == 0x0A || c == 0x0D || InRange(c, 0x20, 0x7E)) {
            ++i;
            ok = true;
        } else if (InRange(c, 0xC2, 0xDF)) {
            ok = follows(1, 0x80, 0xBF);
        } else if (c == 0xE0) {
            ok = follows(2, 0xA0, 0xBF);
        } else if (InRange(c, 0xE1, 0xEC) || c == 0xEE || c == 0xEF) {
            ok = follows(2, 0x80, 0xBF);
        } else if (c == 0xED) {
            ok = follows(2, 0x80, 0x9F);
        } else if (c == 0xF0) {
            ok = follows(3, 0x90, 0xBF);
        } else if (InRange(c, 0xF1, 0xF3)) {
            ok = follows(3, 0x80, 0xBF);
        } else if (c == 0xF4) {
            ok = follows(3, 0x80, 0x8F);
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace telemetry_core
