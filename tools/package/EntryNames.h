#pragma once
// The rules every name in a product archive and every line of an install manifest must pass
// before it touches the disk: relative, no "..", on one line, and links that stay inside.
#include <optional>
#include <string>
#include <string_view>

namespace Package {

// The name with "." and empty components dropped, or nullopt when it is absolute, climbs with
// "..", holds a line break or names nothing but the folder itself.
std::optional<std::string> NormaliseEntryName(std::string_view name);

// True when a link stored at `entryName` (already normalised) with `target` resolves, by its
// text alone, to a place inside the folder that holds the archive's root.
bool IsLinkTargetInside(std::string_view entryName, std::string_view target);

}  // namespace Package
