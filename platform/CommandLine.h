#pragma once
// Splits a wide command line into arguments by the Windows quoting rules, and builds a
// command line back from arguments, so that the installer's command lines keep their
// meaning when the programs they name are started here.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The first argument names the program and has no escapes: unquoted, it runs to the first
// space or tab and keeps any quote in it as a plain character; quoted, it runs to the next
// quote (backslashes are plain characters) and ends there. The arguments after it follow the
// usual rules: blanks separate arguments outside quotes; 2n backslashes and a quote give n
// backslashes and open or close quoting; 2n+1 backslashes and a quote give n backslashes and
// a quote; other backslashes are plain; "" inside quotes gives one quote and stays quoted;
// an empty quoted argument is an argument.
// A line that starts with a blank gives an empty program name, as on Windows. An empty line
// gives no arguments at all (Windows would put the running program's own path there).
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Writes an argument after the first so that SplitCommandLine gives it back unchanged;
// arguments without blanks or quotes stay as they are.
std::wstring QuoteArgument(std::wstring_view argument);

// Writes a program name so that it splits back unchanged. Since the first argument has no
// escapes, a name that starts with a quote, or holds both a quote and a blank, cannot be
// written: nullopt then.
std::optional<std::wstring> QuoteProgram(std::wstring_view program);

// The program and its arguments joined by single spaces; nullopt when the list is empty or
// the program name cannot be written.
std::optional<std::wstring> BuildCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace platform
