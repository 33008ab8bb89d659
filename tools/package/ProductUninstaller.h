#pragma once
// The installed uninstaller's work: remove what the manifest of one installation lists, its
// desktop and menu entries and the installer's records of it, then the uninstaller's own
// files and the install folder once it is empty. Files the user added stay, and so does
// every folder that still holds them.
#include <string>
#include <vector>

#include "tools/package/ProtocolOutput.h"

namespace Package {

// "_?=" names the folder to remove; without it, the folder the uninstaller lives in.
std::string ReadUninstallFolder(const std::vector<std::string>& arguments, const std::string& ownPath);

// The exit code: 0 when everything listed is gone, 1 otherwise.
int UninstallProduct(const std::string& folder, ProtocolOutput& out);

}  // namespace Package
