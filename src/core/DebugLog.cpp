#include "src/core/DebugLog.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "platform/Clock.h"
#include "platform/LogSink.h"
#include "platform/Text.h"
#include "platform/ThreadName.h"

namespace DebugLogDetail {
namespace {

constexpr wchar_t kPrefix[] = L"<P%05d><T%05d><%04d-%02d-%02d %02d:%02d:%02d.%03d>(%s)<%04d>: ";

// Skips a parenthesised or angle-bracketed group starting at text[i]; returns the index
// just past its closing bracket.
size_t SkipGroup(const std::string& text, size_t i) {
    int depth = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == '(' || text[i] == '<') ++depth;
        if (text[i] == ')' || text[i] == '>') --depth;
        if (depth == 0) return i + 1;
    }
    return text.size();
}

bool EndsWithOperator(const std::string& text) {
    return text.size() >= 8 && text.compare(text.size() - 8, 8, "operator") == 0;
}

}  // namespace

std::string QualifiedFunctionName(const char* prettyFunction) {
    std::string text(prettyFunction);
    if (const size_t with = text.find(" [with "); with != std::string::npos) text.resize(with);

    // Pass 1: drop the return type and specifiers, that is everything up to the last space
    // outside brackets before the parameter list.
    size_t start = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '<') { i = SkipGroup(text, i); continue; }
        if (text[i] == '(' && !EndsWithOperator(text.substr(0, i))) break;
        if (text[i] == ' ') start = i + 1;
        ++i;
    }

    // Pass 2: copy the name without parameter lists and without trailing qualifiers; the
    // brackets of "operator()" and of "<lambda()>" belong to the name.
    std::string name;
    for (size_t i = start; i < text.size();) {
        const char c = text[i];
        if (c == '<') {
            const size_t end = SkipGroup(text, i);
            name.append(text, i, end - i);
            i = end;
        } else if (c == '(' && EndsWithOperator(name)) {
            name += "()";
            i += 2;
        } else if (c == '(') {
            i = SkipGroup(text, i);
        } else if (c == ' ') {
            break;
        } else {
            name += c;
            ++i;
        }
    }
    return name;
}

std::wstring TranslateFormat(const std::wstring& format) {
    std::wstring out;
    out.reserve(format.size() + 8);
    for (size_t i = 0; i < format.size(); ++i) {
        out += format[i];
        if (format[i] != L'%') continue;
        // Copy flags, width, precision and length; widen a bare "s" conversion.
        size_t j = i + 1;
        while (j < format.size() && std::wcschr(L"-+ #0123456789.*hlLqjzt", format[j])) ++j;
        if (j >= format.size()) break;
        const std::wstring spec = format.substr(i + 1, j - i - 1);
        out += spec;
        if (format[j] == L's' && spec.find(L'l') == std::wstring::npos) out += L'l';
        out += format[j];
        i = j;
    }
    return out;
}

void Write(const char* prettyFunction, int line, const wchar_t* format, ...) {
    const platform::LocalTime now = platform::LocalTimeNow();
    const std::wstring function = platform::Utf8ToWide(QualifiedFunctionName(prettyFunction));
    wchar_t prefix[512];
    const int prefixLength = std::swprintf(prefix, std::size(prefix), kPrefix, platform::CurrentProcessId(),
                                           platform::CurrentThreadId(), now.year, now.month, now.day, now.hour,
                                           now.minute, now.second, now.millisecond, function.c_str(), line);
    if (prefixLength < 0) return;

    const std::wstring message = TranslateFormat(format);
    va_list args;
    va_start(args, format);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list pass;
        va_copy(pass, args);
        const int count = std::vswprintf(buffer.data(), buffer.size(), message.c_str(), pass);
        va_end(pass);
        if (count >= 0) {
            std::wstring text(prefix, prefixLength);
            text.append(buffer.data(), count);
            platform::WriteLogLine(platform::WideToUtf8(text));
            break;
        }
        // vswprintf reports a small buffer and a format error alike: give up past 1 Mi characters.
        if (buffer.size() >= (1u << 20)) break;
        buffer.resize(buffer.size() * 4);
    }
    va_end(args);
}

}  // namespace DebugLogDetail
