#include "tools/package/EntryNames.h"

#include <vector>

namespace Package {
namespace {

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::optional<std::string> NormaliseEntryName(std::string_view name) {
    if (name.empty() || name.front() == '/') return std::nullopt;
    if (name.find_first_of("\n\r") != std::string_view::npos) return std::nullopt;
    std::string normal;
    for (std::string_view part : Components(name)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        if (!normal.empty()) normal += '/';
        normal += part;
    }
    if (normal.empty()) return std::nullopt;
    return normal;
}

bool IsLinkTargetInside(std::string_view entryName, std::string_view target) {
    if (target.empty() || target.front() == '/') return false;
    std::vector<std::string_view> resolved = Components(entryName);
    resolved.pop_back();  // the link itself; its target is relative to its folder
    for (std::string_view part : Components(target)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (resolved.empty()) return false;
            resolved.pop_back();
        } else {
            resolved.push_back(part);
        }
    }
    return true;
}

}  // namespace Package
