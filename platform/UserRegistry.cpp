#include "platform/UserRegistry.h"

#include <cwctype>
#include <map>

#include "platform/FileIo.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace platform {
namespace {

// One "name=data" line per value; backslash escapes keep names and data on one line.
using Values = std::map<std::wstring, std::pair<std::wstring, std::wstring>>;  // folded name -> (name, data)

std::wstring Fold(const std::wstring& text) {
    std::wstring folded = text;
    for (auto& c : folded) c = static_cast<wchar_t>(std::towlower(c));
    return folded;
}

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'\\': out += L"\\\\"; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            case L'\0': out += L"\\0"; break;
            case L'=': out += L"\\e"; break;
            default: out += c;
        }
    }
    return out;
}

std::wstring Unescape(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case L'n': out += L'\n'; break;
            case L'r': out += L'\r'; break;
            case L'0': out += L'\0'; break;
            case L'e': out += L'='; break;
            default: out += text[i];
        }
    }
    return out;
}

Expected<Values, SystemError> Load(const std::wstring& file) {
    auto bytes = ReadWholeFile(WideToUtf8(file));
    if (!bytes) return MakeUnexpected(bytes.error());
    Values values;
    const std::wstring text = Utf8ToWide(*bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring_view line = std::wstring_view(text).substr(start, end - start);
        if (const size_t equals = line.find(L'='); equals != std::wstring_view::npos) {
            std::wstring name = Unescape(line.substr(0, equals));
            values.emplace(Fold(name), std::pair{name, Unescape(line.substr(equals + 1))});
        }
        start = end + 1;
    }
    return values;
}

}  // namespace

std::wstring UserRegistry::KeyFile(const std::wstring& keyPath) {
    std::wstring relative;
    for (wchar_t c : Fold(keyPath)) relative += (c == L'\\') ? L'/' : c;
    return JoinPath(JoinPath(ConfigHome(), L"mavrix-registry"), relative + L".values");
}

Expected<std::wstring, SystemError> UserRegistry::ReadString(const std::wstring& keyPath, const std::wstring& valueName) {
    auto values = Load(KeyFile(keyPath));
    if (!values) return MakeUnexpected(values.error());
    const auto it = values->find(Fold(valueName));
    if (it == values->end()) return MakeUnexpected(SystemError{ENOENT});
    return it->second.second;
}

Status<SystemError> UserRegistry::WriteString(const std::wstring& keyPath, const std::wstring& valueName,
                                              const std::wstring& data) {
    const std::wstring file = KeyFile(keyPath);
    // Make the key's folders, level by level.
    const std::wstring folder = FolderPart(file);
    for (size_t slash = folder.find(L'/', 1);; slash = folder.find(L'/', slash + 1)) {
        const std::wstring level = slash == std::wstring::npos ? folder : folder.substr(0, slash);
        if (!IsDirectory(level)) {
            if (auto made = MakeDirectory(level); !made && errno != EEXIST) return made;
        }
        if (slash == std::wstring::npos) break;
    }

    Values values = Load(file).value_or(Values{});
    values[Fold(valueName)] = {valueName, data};
    std::wstring text;
    for (const auto& [folded, entry] : values) text += Escape(entry.first) + L"=" + Escape(entry.second) + L"\n";
    return WriteFileAtomically(WideToUtf8(file), WideToUtf8(text), 0600);
}

}  // namespace platform
