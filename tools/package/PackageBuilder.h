#pragma once
// Builds one self-contained package program from a product folder: the package stub, the
// folder's files and the uninstaller as a compressed tar archive, the product's facts and a
// checksummed trailer (see PackageFile.h).
#include <string>

#include "platform/Expected.h"

namespace Package {

struct BuildRequest {
    std::string productFolder;
    std::string version;          // "N.N.N"
    std::string outputPath;
    std::string stubPath;         // the package program without payload
    std::string uninstallerPath;  // installed as "uninst.exe" and "uninst.ep"
    std::string productName = "Mavrix";
    std::string exeName = "Mavrix.exe";
};

// Refuses products the package could not install safely: names with line breaks, links that
// point out of the folder, special files, and the names the package keeps for itself.
// The output appears whole or not at all.
platform::Status<std::string> BuildPackage(const BuildRequest& request);

}  // namespace Package
