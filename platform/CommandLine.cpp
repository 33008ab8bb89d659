#include "platform/CommandLine.h"

namespace platform {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Reads the program name starting at line[i]; leaves i after it.
std::wstring ReadProgram(std::wstring_view line, size_t& i) {
    const bool quoted = line[i] == L'"';
    if (quoted) ++i;
    const size_t start = i;
    while (i < line.size() && (quoted ? line[i] != L'"' : !IsBlank(line[i]))) ++i;
    std::wstring program(line.substr(start, i - start));
    if (quoted && i < line.size()) ++i;  // the closing quote ends the name even without a blank after it
    return program;
}

// Reads one later argument starting at line[i] (not a blank); leaves i after it.
std::wstring ReadArgument(std::wstring_view line, size_t& i) {
    std::wstring argument;
    bool inQuotes = false;
    while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == L'\\') {
            ++backslashes;
            ++i;
        }
        if (i == line.size() || line[i] != L'"') {
            argument.append(backslashes, L'\\');
            continue;
        }
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
            argument += L'"';
            ++i;
        } else if (inQuotes && i + 1 < line.size() && line[i + 1] == L'"') {
            argument += L'"';
            i += 2;
        } else {
            inQuotes = !inQuotes;
            ++i;
        }
    }
    return argument;
}

void SkipBlanks(std::wstring_view line, size_t& i) {
    while (i < line.size() && IsBlank(line[i])) ++i;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine) {
    std::vector<std::wstring> arguments;
    if (commandLine.empty()) return arguments;
    size_t i = 0;
    arguments.push_back(ReadProgram(commandLine, i));
    for (SkipBlanks(commandLine, i); i < commandLine.size(); SkipBlanks(commandLine, i)) {
        arguments.push_back(ReadArgument(commandLine, i));
    }
    return arguments;
}

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only escape when a quote follows: double them there, keep them elsewhere.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');  // the closing quote follows them
    quoted += L'"';
    return quoted;
}

std::optional<std::wstring> QuoteProgram(std::wstring_view program) {
    const bool hasQuote = program.find(L'"') != std::wstring_view::npos;
    const bool hasBlank = program.find_first_of(L" \t") != std::wstring_view::npos;
    if (!program.empty() && !hasBlank && program.front() != L'"') return std::wstring(program);
    if (hasQuote) return std::nullopt;
    return L"\"" + std::wstring(program) + L"\"";
}

std::optional<std::wstring> BuildCommandLine(const std::vector<std::wstring>& arguments) {
    if (arguments.empty()) return std::nullopt;
    std::optional<std::wstring> line = QuoteProgram(arguments.front());
    if (!line) return std::nullopt;
    for (size_t k = 1; k < arguments.size(); ++k) *line += L" " + QuoteArgument(arguments[k]);
    return line;
}

}  // namespace platform
