#include "tools/package/SwitchLine.h"

#include <algorithm>
#include <cctype>

namespace Package {

SwitchLine SwitchLine::Parse(const std::vector<std::string>& arguments, std::string_view tailSwitch) {
    SwitchLine line;
    auto tailStart = arguments.end();
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        if (it->starts_with(tailSwitch)) tailStart = it;
    }
    for (auto it = arguments.begin(); it != tailStart; ++it) {
        const size_t equals = it->find('=');
        if (equals == std::string::npos) line.flags.push_back(*it);
        else line.values[it->substr(0, equals)] = it->substr(equals + 1);
    }
    if (tailStart != arguments.end()) {
        std::string folder = tailStart->substr(tailSwitch.size());
        for (auto it = tailStart + 1; it != arguments.end(); ++it) folder += " " + *it;
        line.tail = folder;
    }
    return line;
}

std::optional<std::string> SwitchLine::Value(const std::string& name) const {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

bool SwitchLine::IsTrue(const std::string& name) const {
    std::string value = Value(name).value_or("");
    std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
    return value == "true" || value == "1";
}

}  // namespace Package
