#include "platform/Text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdint>

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at bytes[i]; advances i past it. Overlong forms, surrogates
// and truncated sequences give U+FFFD and consume one byte.
uint32_t NextCodePoint(std::string_view bytes, size_t& i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const int extra = lead < 0x80                  ? 0
                      : lead >= 0xC2 && lead <= 0xDF ? 1
                      : lead >= 0xE0 && lead <= 0xEF ? 2
                      : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                     : -1;
    if (extra < 0) { ++i; return kReplacement; }
    if (extra == 0) { ++i; return lead; }
    if (i + extra >= bytes.size()) { ++i; return kReplacement; }
    uint32_t cp = lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(bytes[i + k]);
        if ((c & 0xC0) != 0x80) { ++i; return kReplacement; }
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return kReplacement; }
    i += extra + 1;
    return cp;
}

std::string CharsetName(unsigned codePage) {
    if (codePage == kCodePageUtf8) return "UTF-8";
    if (codePage == kCodePageAnsi) return nl_langinfo(CODESET);
    return "CP" + std::to_string(codePage);
}

bool IsUtf8Charset(const std::string& name) { return name == "UTF-8" || name == "utf-8" || name == "UTF8"; }

}  // namespace

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) AppendUtf8(out, static_cast<uint32_t>(c));
    return out;
}

std::wstring Utf8ToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) out += static_cast<wchar_t>(NextCodePoint(bytes, i));
    return out;
}

std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage) {
    const std::string charset = CharsetName(codePage);
    if (IsUtf8Charset(charset)) return Utf8ToWide(bytes);
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return Utf8ToWide(bytes);

    std::string utf8;
    std::string in(bytes);
    char* src = in.data();
    size_t left = in.size();
    char chunk[4096];
    while (left > 0) {
        char* dst = chunk;
        size_t room = sizeof chunk;
        const size_t rc = iconv(cd, &src, &left, &dst, &room);
        utf8.append(chunk, dst - chunk);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            AppendUtf8(utf8, kReplacement);  // undecodable or truncated byte: skip it
            ++src;
            --left;
        }
    }
    iconv_close(cd);
    return Utf8ToWide(utf8);
}

std::string EncodeCodePage(std::wstring_view text, unsigned codePage) {
    const std::string charset = CharsetName(codePage);
    if (IsUtf8Charset(charset)) return WideToUtf8(text);
    iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return WideToUtf8(text);

    std::string out;
    for (wchar_t c : text) {  // one character at a time, so an unmappable one becomes '?'
        std::string one;
        AppendUtf8(one, static_cast<uint32_t>(c));
        char* src = one.data();
        size_t left = one.size();
        char buffer[16];
        char* dst = buffer;
        size_t room = sizeof buffer;
        if (iconv(cd, &src, &left, &dst, &room) == static_cast<size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out += '?';
        } else {
            out.append(buffer, dst - buffer);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace platform
