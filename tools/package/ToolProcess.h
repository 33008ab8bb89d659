#pragma once
// Process set-up shared by the package, the uninstaller and the builder: file names are
// UTF-8 whatever the locale says, and a reader that goes away does not kill the program.
namespace Package {

void PrepareToolProcess();

}  // namespace Package
