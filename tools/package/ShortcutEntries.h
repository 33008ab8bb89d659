#pragma once
// The desktop and application-menu entries of an installed product: freedesktop ".desktop"
// files that start its main program. Each entry names its install folder, so that an
// uninstaller removes only entries that belong to its own installation.
#include <string>

#include "platform/Expected.h"

namespace Package {

struct ShortcutTarget {
    std::string productName;   // "Mavrix"
    std::string version;
    std::string installFolder;
    std::string exePath;
};

// $XDG_DESKTOP_DIR, else ~/Desktop.
std::string DesktopFolder();
// $XDG_DATA_HOME/applications (default ~/.local/share/applications).
std::string MenuFolder();

// Writes "<folder>/<productName>.desktop" (executable, as desktops want launchers to be),
// making the folder when missing. Gives the entry's full path.
platform::Expected<std::string, std::string> WriteShortcut(const std::string& folder, const ShortcutTarget& target);

// Removes the entry when it names `installFolder`; an entry that is gone already is fine.
// False when an entry of this installation is still there afterwards.
bool RemoveShortcut(const std::string& entryPath, const std::string& installFolder);

}  // namespace Package
