#pragma once
// The switches the installer passes to the package and to the uninstaller: "/S", "-name=value"
// and one folder switch ("/D=" or "_?=") that the installer writes last and unquoted, so that
// a folder with blanks arrives split into several arguments.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Package {

struct SwitchLine {
    std::map<std::string, std::string> values;  // "-dsc" -> "true"; the last occurrence wins
    std::vector<std::string> flags;             // arguments without "=", such as "/S"
    std::optional<std::string> tail;            // the folder switch's value

    // `arguments` excludes the program name. The last argument starting with `tailSwitch`
    // opens the folder: it and everything after it, joined by single blanks.
    static SwitchLine Parse(const std::vector<std::string>& arguments, std::string_view tailSwitch);

    std::optional<std::string> Value(const std::string& name) const;
    // "true" or "1", in any letter case.
    bool IsTrue(const std::string& name) const;
};

}  // namespace Package
