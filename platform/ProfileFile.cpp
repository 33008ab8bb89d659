#include "platform/ProfileFile.h"

#include <cwctype>
#include <vector>

#include "platform/FileIo.h"
#include "platform/Text.h"

namespace platform {
namespace {

struct Lines {
    std::vector<std::wstring> lines;
    std::wstring newline = L"\n";
};

std::wstring Trim(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    return std::wstring(text.substr(begin, end - begin));
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

std::optional<Lines> Load(const std::wstring& path) {
    auto bytes = ReadWholeFile(WideToUtf8(path));
    if (!bytes) return std::nullopt;
    std::string_view text = *bytes;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

    Lines result;
    const std::wstring wide = Utf8ToWide(text);
    size_t start = 0;
    while (start < wide.size()) {
        size_t end = wide.find(L'\n', start);
        if (end == std::wstring::npos) end = wide.size();
        std::wstring line = wide.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
            result.newline = L"\r\n";
        }
        result.lines.push_back(std::move(line));
        start = end + 1;
    }
    return result;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::wstring> SectionName(const std::wstring& line) {
    const std::wstring trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != L'[') return std::nullopt;
    const size_t close = trimmed.find(L']');
    return Trim(std::wstring_view(trimmed).substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
}

// The key of a "key=value" line (comments and other lines have none).
std::optional<std::wstring> KeyName(const std::wstring& line) {
    const std::wstring trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == L';') return std::nullopt;
    const size_t equals = trimmed.find(L'=');
    if (equals == std::wstring::npos) return std::nullopt;
    return Trim(std::wstring_view(trimmed).substr(0, equals));
}

std::wstring ValueOf(const std::wstring& line) {
    std::wstring value = Trim(std::wstring_view(line).substr(line.find(L'=') + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// Index of the first "[section]" line, or the number of lines when there is none.
size_t FindSection(const Lines& file, const std::wstring& section) {
    for (size_t i = 0; i < file.lines.size(); ++i) {
        const auto name = SectionName(file.lines[i]);
        if (name && EqualIgnoringCase(*name, section)) return i;
    }
    return file.lines.size();
}

// One past the last line of the section whose header is at `header`.
size_t SectionEnd(const Lines& file, size_t header) {
    size_t end = header + 1;
    while (end < file.lines.size() && !SectionName(file.lines[end])) ++end;
    return end;
}

std::wstring Cut(std::wstring value, size_t bufferChars) {
    if (bufferChars == 0) return {};
    if (value.size() > bufferChars - 1) value.resize(bufferChars - 1);
    return value;
}

}  // namespace

std::optional<std::wstring> ProfileFile::ReadString(const std::wstring& path, const std::wstring& section,
                                                    const std::wstring& key, size_t bufferChars) {
    const auto file = Load(path);
    if (!file) return std::nullopt;
    const size_t header = FindSection(*file, section);
    if (header == file->lines.size()) return std::nullopt;
    const size_t end = SectionEnd(*file, header);
    for (size_t i = header + 1; i < end; ++i) {
        const auto name = KeyName(file->lines[i]);
        if (name && EqualIgnoringCase(*name, key)) return Cut(ValueOf(file->lines[i]), bufferChars);
    }
    return std::nullopt;
}

std::wstring ProfileFile::GetString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                                    const std::wstring& fallback, size_t bufferChars) {
    auto value = ReadString(path, section, key, bufferChars);
    return value ? *value : Cut(fallback, bufferChars);
}

int ProfileFile::GetInt(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        int fallback) {
    const auto value = ReadString(path, section, key, 4096);
    if (!value) return fallback;
    size_t i = 0;
    while (i < value->size() && std::iswspace((*value)[i])) ++i;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == L'-' || (*value)[i] == L'+')) negative = (*value)[i++] == L'-';
    unsigned base = 10;
    if (i + 1 < value->size() && (*value)[i] == L'0' && ((*value)[i + 1] == L'x' || (*value)[i + 1] == L'X')) {
        base = 16;
        i += 2;
    }
    uint32_t number = 0;
    for (; i < value->size(); ++i) {
        const wchar_t c = (*value)[i];
        unsigned digit;
        if (c >= L'0' && c <= L'9') digit = c - L'0';
        else if (base == 16 && std::iswxdigit(c)) digit = std::towlower(c) - L'a' + 10;
        else break;
        number = number * base + digit;
    }
    return static_cast<int>(negative ? 0u - number : number);
}

Status<SystemError> ProfileFile::WriteString(const std::wstring& path, const std::wstring& section,
                                             const std::wstring& key, const std::wstring& value) {
    Lines file = Load(path).value_or(Lines{});
    const std::wstring entry = key + L"=" + value;
    size_t header = FindSection(file, section);
    if (header == file.lines.size()) {
        file.lines.push_back(L"[" + section + L"]");
        file.lines.push_back(entry);
    } else {
        const size_t end = SectionEnd(file, header);
        size_t insertAt = header + 1;
        bool replaced = false;
        for (size_t i = header + 1; i < end && !replaced; ++i) {
            const auto name = KeyName(file.lines[i]);
            if (name && EqualIgnoringCase(*name, key)) {
                file.lines[i] = entry;
                replaced = true;
            }
            if (!Trim(file.lines[i]).empty()) insertAt = i + 1;
        }
        if (!replaced) file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    }

    std::wstring text;
    for (const auto& line : file.lines) text += line + file.newline;
    return WriteFileAtomically(WideToUtf8(path), WideToUtf8(text));
}

}  // namespace platform
