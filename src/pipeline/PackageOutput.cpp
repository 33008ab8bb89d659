#include "src/pipeline/PackageOutput.h"

#include <cwchar>
#include <cwctype>
#include <limits>
#include <memory>

#include "platform/Text.h"
#include "src/utils/ChildProcess.h"

namespace PackageOutput {

std::optional<std::string> LineAssembler::NextLine() {
    const size_t feed = pending_.find('\n');
    if (feed == std::string::npos) return std::nullopt;
    std::string line = pending_.substr(0, feed);
    pending_.erase(0, feed + 1);
    return line;
}

std::string LineAssembler::TakeRest() {
    std::string rest;
    rest.swap(pending_);
    return rest;
}

std::wstring DecodeLine(std::string_view bytes, unsigned codePage) {
    return platform::DecodeCodePage(bytes.substr(0, bytes.find('\0')), codePage);
}

std::optional<std::wstring> ValueAfter(const std::wstring& line, std::wstring_view key) {
    if (!line.starts_with(key)) return std::nullopt;
    std::wstring value = line.substr(key.size());
    // A carriage return ends the line for a program that writes CR LF; it is not part
    // of a path or text that is later stored.
    if (!value.empty() && value.back() == L'\r') value.pop_back();
    if (value.size() > kMaxValueChars) value.resize(kMaxValueChars);
    return value;
}

std::wstring Trim(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

double ReadNumber(const std::wstring& value) { return std::wcstod(value.c_str(), nullptr); }

int32_t ReadInteger(const std::wstring& value) {
    const long long number = std::wcstoll(value.c_str(), nullptr, 10);
    if (number > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (number < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(number);
}

unsigned CodePageFromEncode(const std::wstring& value) {
    const std::wstring trimmed = Trim(value);
    if (trimmed == L"UTF8") return platform::kCodePageUtf8;
    if (trimmed == L"ACP") return platform::kCodePageAnsi;
    return static_cast<unsigned>(ReadInteger(trimmed));
}

int FollowOutput(Utils::ChildProcess& child, const unsigned& codePage,
                 const std::function<int(const std::wstring&)>& parseLine) {
    LineAssembler lines;
    int result = 0;
    const auto handle = [&](std::string_view line) {
        if (result == 0) result = parseLine(DecodeLine(line, codePage));
    };
    for (std::string chunk = child.ReadOutput(); !chunk.empty(); chunk = child.ReadOutput()) {
        lines.Append(chunk);
        while (auto line = lines.NextLine()) handle(*line);
    }
    if (const std::string rest = lines.TakeRest(); !rest.empty()) handle(rest);
    return result;
}

std::optional<int> RunAndFollow(const std::wstring& commandLine, const unsigned& codePage,
                                const std::function<int(const std::wstring&)>& parseLine) {
    std::unique_ptr<Utils::ChildProcess> child;
    try {
        child = std::make_unique<Utils::ChildProcess>();
        child->Launch(commandLine);
    } catch (const Utils::Exception&) {
        return std::nullopt;
    }
    const int result = FollowOutput(*child, codePage, parseLine);
    child->Wait();
    child->Close();
    return result;
}

}  // namespace PackageOutput
