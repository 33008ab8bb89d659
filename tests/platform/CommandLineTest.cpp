#include "platform/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"

namespace platform {
namespace {

using Args = std::vector<std::wstring>;

TEST(SplitCommandLine, FollowsTheWindowsQuotingRules) {
    struct Case { std::wstring line; Args args; };
    const Case cases[] = {
        {L"prog", {L"prog"}},
        {L"prog a b", {L"prog", L"a", L"b"}},
        {L"prog  a\t\tb \t", {L"prog", L"a", L"b"}},
        {L"p \"a b\" c", {L"p", L"a b", L"c"}},
        {L"p \"a\tb\"", {L"p", L"a\tb"}},
        {L"p a\\\\b", {L"p", L"a\\\\b"}},               // backslashes not before a quote are plain
        {L"p a\\\"b", {L"p", L"a\"b"}},                  // 1 backslash + quote: a quote
        {L"p a\\\\\"b c\"", {L"p", L"a\\b c"}},          // 2 backslashes + quote: 1 backslash, quoting on
        {L"p a\\\\\\\"b", {L"p", L"a\\\"b"}},            // 3 backslashes + quote: 1 backslash and a quote
        {L"p a\\\\\\\\\"b\"", {L"p", L"a\\\\b"}},        // 4 backslashes + quote: 2 backslashes
        {L"p \"a\\\\\" b", {L"p", L"a\\", L"b"}},        // backslash before the closing quote
        {L"p trailing\\", {L"p", L"trailing\\"}},
        {L"p trailing\\\\", {L"p", L"trailing\\\\"}},
        {L"p \"\" b", {L"p", L"", L"b"}},                // empty quoted arguments count
        {L"p \"\"", {L"p", L""}},
        {L"p \"a\"\"b\"", {L"p", L"a\"b"}},              // "" inside quotes: a quote, still quoted
        {L"p \"a\"\" b\"", {L"p", L"a\" b"}},
        {L"p \"\"\"\"", {L"p", L"\""}},
        {L"p \"\"\"\"\"\"", {L"p", L"\"\""}},
        {L"p a\"b\"c", {L"p", L"abc"}},
        {L"p a\"b c\"d e", {L"p", L"ab cd", L"e"}},
        {L"p \"a b", {L"p", L"a b"}},                    // unterminated quote runs to the end
        {L"p \\\"a b\\\"", {L"p", L"\"a", L"b\""}},
        {L"p a\nb", {L"p", L"a\nb"}},                    // only space and tab separate
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.line));
        EXPECT_EQ(SplitCommandLine(c.line), c.args);
    }
}

TEST(SplitCommandLine, ProgramNameHasNoEscapes) {
    struct Case { std::wstring line; Args args; };
    const Case cases[] = {
        {L"\"C:\\Program Files\\app.exe\" -s", {L"C:\\Program Files\\app.exe", L"-s"}},
        {L"\"C:\\dir\\\\\" a", {L"C:\\dir\\\\", L"a"}},        // backslashes before the quote are plain
        {L"C:\\dir\\\"x\" a", {L"C:\\dir\\\"x\"", L"a"}},      // unquoted: quotes are plain characters
        {L"\"a b\"c d", {L"a b", L"c", L"d"}},                 // the closing quote ends the name
        {L"\"unterminated name", {L"unterminated name"}},
        {L"\"\" a", {L"", L"a"}},
        {L"\"\"", {L""}},
        {L" prog a", {L"", L"prog", L"a"}},                    // a leading blank: empty name
        {L"\"/opt/安装 程序\" -instdir=\"/opt/中文 目录\"", {L"/opt/安装 程序", L"-instdir=/opt/中文 目录"}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.line));
        EXPECT_EQ(SplitCommandLine(c.line), c.args);
    }
}

TEST(QuoteArgument, QuotesOnlyWhatNeedsIt) {
    struct Case { std::wstring argument; std::wstring quoted; };
    const Case cases[] = {
        {L"abc", L"abc"},
        {L"a\\b\\", L"a\\b\\"},
        {L"", L"\"\""},
        {L"a b", L"\"a b\""},
        {L"a\tb", L"\"a\tb\""},
        {L"a\"b", L"\"a\\\"b\""},
        {L"a\\\"b", L"\"a\\\\\\\"b\""},
        {L"a b\\", L"\"a b\\\\\""},
        {L"a\\ b", L"\"a\\ b\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.argument));
        EXPECT_EQ(QuoteArgument(c.argument), c.quoted);
    }
}

// Every string of up to `length` characters over the characters that matter to quoting.
std::vector<std::wstring> AllStrings(std::wstring_view alphabet, size_t length) {
    std::vector<std::wstring> all = {L""};
    for (size_t begin = 0, n = 0; n < length; ++n) {
        const size_t end = all.size();
        for (size_t k = begin; k < end; ++k) {
            for (wchar_t c : alphabet) all.push_back(all[k] + c);
        }
        begin = end;
    }
    return all;
}

TEST(BuildCommandLine, EveryArgumentSplitsBackUnchanged) {
    const auto singles = AllStrings(L"a \t\"\\", 6);
    for (const auto& argument : singles) {
        const Args args = {L"prog", argument};
        EXPECT_EQ(SplitCommandLine(BuildCommandLine(args).value()), args) << WideToUtf8(argument);
    }
    const auto pairs = AllStrings(L"a \"\\", 3);
    for (const auto& first : pairs) {
        for (const auto& second : pairs) {
            const Args args = {L"prog", first, second, L"x"};
            ASSERT_EQ(SplitCommandLine(BuildCommandLine(args).value()), args)
                << WideToUtf8(first) << " | " << WideToUtf8(second);
        }
    }
}

TEST(BuildCommandLine, ProgramNamesSplitBackOrAreRefused) {
    for (const auto& program : AllStrings(L"a \t\"\\", 5)) {
        SCOPED_TRACE(WideToUtf8(program));
        const auto line = BuildCommandLine({program, L"x"});
        const bool writable = program.empty() || program.front() != L'"';
        const bool ambiguous = program.find(L'"') != std::wstring::npos &&
                               program.find_first_of(L" \t") != std::wstring::npos;
        ASSERT_EQ(line.has_value(), writable && !ambiguous);
        if (line) {
            EXPECT_EQ(SplitCommandLine(*line), (Args{program, L"x"}));
        }
    }
    EXPECT_FALSE(BuildCommandLine({}).has_value());
}

}  // namespace
}  // namespace platform
