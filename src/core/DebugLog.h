#pragma once
// The installer's diagnostic trace: one formatted line per call on standard error, with the
// process, thread, local time, calling function and source line in a fixed prefix.
// Messages use wide printf formats where "%s" takes a wide string (std::wstring or
// const wchar_t*), as the installer's messages are written.
#include <string>
#include <type_traits>

namespace DebugLogDetail {

// Formats and writes one line; never throws. `prettyFunction` is the compiler's signature
// text, reduced to the qualified function name.
void Write(const char* prettyFunction, int line, const wchar_t* format, ...);

// Turns the compiler's signature text ("int CurlClient::Start(int)") into the qualified
// function name ("CurlClient::Start"); lambdas keep their "::<lambda()>" tail.
std::string QualifiedFunctionName(const char* prettyFunction);

// Rewrites a message format for the C library: "%s" (a wide string here) becomes "%ls".
std::wstring TranslateFormat(const std::wstring& format);

template <class T>
decltype(auto) Argument(const T& value) {
    if constexpr (std::is_same_v<T, std::wstring>) {
        return value.c_str();
    } else {
        return value;
    }
}

template <class... Args>
void Log(const char* prettyFunction, int line, const wchar_t* format, const Args&... args) {
    Write(prettyFunction, line, format, Argument(args)...);
}

}  // namespace DebugLogDetail

#define DebugLog(format, ...) \
    ::DebugLogDetail::Log(__PRETTY_FUNCTION__, __LINE__, format __VA_OPT__(, ) __VA_ARGS__)
