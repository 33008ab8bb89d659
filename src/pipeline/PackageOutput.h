#pragma once
// The line protocol that the package and the old uninstaller speak on their standard
// output: "key=value" lines, decoded with the code page the program announced with
// "Encode=". Bytes are kept until their line is complete, so a line split across two
// reads is read whole.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace Utils {
class ChildProcess;
}

namespace PackageOutput {

// Collects output as it arrives and hands out complete lines.
class LineAssembler {
public:
    void Append(std::string_view bytes) { pending_.append(bytes); }
    // The next complete line without its line feed (a carriage return before it stays).
    std::optional<std::string> NextLine();
    // What is left after the last line feed; the program has ended, so it is a line too.
    std::string TakeRest();

private:
    std::string pending_;
};

// A line's bytes up to the first zero byte, decoded from `codePage` (0: the locale's).
std::wstring DecodeLine(std::string_view bytes, unsigned codePage);

// The value after `key` when `line` begins with it (exactly, letter case included),
// without a trailing carriage return and at most 771 characters.
std::optional<std::wstring> ValueAfter(const std::wstring& line, std::wstring_view key);

std::wstring Trim(const std::wstring& text);
// The value's leading decimal number, 0 when there is none.
double ReadNumber(const std::wstring& value);
// The value's leading decimal integer, 0 when there is none; clamped to 32 bits.
int32_t ReadInteger(const std::wstring& value);
// "UTF8" is 65001, "ACP" 0, a number that code page, anything else 0.
unsigned CodePageFromEncode(const std::wstring& value);

inline constexpr size_t kMaxValueChars = 771;

// Starts `commandLine` as a hidden child and follows its output as FollowOutput does,
// then waits for it; nullopt when the program could not be started.
std::optional<int> RunAndFollow(const std::wstring& commandLine, const unsigned& codePage,
                                const std::function<int(const std::wstring&)>& parseLine);

// Reads the child's output to its end, decoding each complete line with the code page
// in force when the line is read (`codePage` may change between lines) and handing it
// to `parseLine`, which gives 0, or 1 or 1000 for a final state. Lines after the first
// final state are read and dropped. The result is that of the final state, or 0.
int FollowOutput(Utils::ChildProcess& child, const unsigned& codePage,
                 const std::function<int(const std::wstring&)>& parseLine);

}  // namespace PackageOutput
