#pragma once
// Conversions between the installer's wide strings (Unicode code points) and byte strings:
// UTF-8, the locale's character set (the "ANSI code page") and numbered code pages.
#include <string>
#include <string_view>

namespace platform {

inline constexpr unsigned kCodePageAnsi = 0;    // the locale's character set
inline constexpr unsigned kCodePageUtf8 = 65001;

// Invalid input never fails: a byte that does not decode becomes U+FFFD, a code point
// that cannot be encoded becomes '?'.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view bytes);

// Code page N maps to iconv's "CP<N>", 65001 to UTF-8 and 0 to the locale's charset.
std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage);
std::string EncodeCodePage(std::wstring_view text, unsigned codePage);

// The ANSI code page stands for the locale's character set on this system.
inline std::string WideToAnsi(std::wstring_view text) { return EncodeCodePage(text, kCodePageAnsi); }
inline std::wstring AnsiToWide(std::string_view bytes) { return DecodeCodePage(bytes, kCodePageAnsi); }

}  // namespace platform
