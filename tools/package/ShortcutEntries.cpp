#include "tools/package/ShortcutEntries.h"

#include <filesystem>
#include <system_error>

#include "platform/FileIo.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace Package {
namespace {

constexpr char kInstallFolderKey[] = "X-Mavrix-InstallFolder=";

// A value in a desktop entry: backslashes doubled, line breaks cannot occur in our paths.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

// One argument of the "Exec=" key: quoted, with the characters that quoting reserves escaped.
std::string QuoteExecArgument(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string EntryText(const ShortcutTarget& target) {
    std::string exec = QuoteExecArgument(target.exePath);
    std::string percentSafe;
    for (char c : exec) percentSafe += (c == '%') ? std::string("%%") : std::string(1, c);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=" + target.productName + "\n"
           "Comment=" + target.productName + " " + target.version + " video compression\n"
           "Exec=" + EscapeValue(percentSafe) + "\n"
           "Path=" + EscapeValue(target.installFolder) + "\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Video;\n" +
           kInstallFolderKey + EscapeValue(target.installFolder) + "\n";
}

}  // namespace

std::string DesktopFolder() {
    if (auto folder = platform::EnvironmentVariable("XDG_DESKTOP_DIR"); folder && !folder->empty()) {
        return platform::WideToUtf8(*folder);
    }
    return platform::WideToUtf8(platform::JoinPath(platform::HomeFolder(), L"Desktop"));
}

std::string MenuFolder() { return platform::WideToUtf8(platform::JoinPath(platform::DataHome(), L"applications")); }

platform::Expected<std::string, std::string> WriteShortcut(const std::string& folder, const ShortcutTarget& target) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return platform::MakeUnexpected("cannot create " + folder + ": " + error.message());
    const std::string path = folder + "/" + target.productName + ".desktop";
    const auto written = platform::WriteFileAtomically(path, EntryText(target), 0755);
    if (!written) return platform::MakeUnexpected("cannot write " + path + ": " + written.error().Message());
    return path;
}

bool RemoveShortcut(const std::string& entryPath, const std::string& installFolder) {
    const auto text = platform::ReadWholeFile(entryPath);
    if (!text) return true;  // gone already (or never readable, so not ours to judge)
    const std::string mark = std::string(kInstallFolderKey) + EscapeValue(installFolder) + "\n";
    if (text->find("\n" + mark) == std::string::npos) return true;  // another installation's now
    std::error_code error;
    std::filesystem::remove(entryPath, error);
    return !error;
}

}  // namespace Package
