#pragma once
// The package program's work: check its own payload, extract the product into the install
// folder, leave the uninstaller and the manifest behind, make the requested desktop and menu
// entries, and report every step on standard output. A failure takes back what was made.
#include <string>
#include <vector>

#include "tools/package/ProtocolOutput.h"

namespace Package {

struct InstallRequest {
    std::string installFolder;  // empty: the default folder
    bool desktopEntry = false;  // "-dsc=true"
    bool menuEntry = false;     // "-ssc=true"
};

// The installer names the folder twice: "-instdir=" in quotes, which arrives whole, and
// "/D=" unquoted at the end of the line, whose blanks split it. "-instdir=" wins when given.
InstallRequest ReadInstallRequest(const std::vector<std::string>& arguments);

// Installs the product carried by `packagePath`; the exit code: 0 on success, 1 on failure.
int InstallPackage(const std::string& packagePath, const InstallRequest& request, ProtocolOutput& out);

}  // namespace Package
