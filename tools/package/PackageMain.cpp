// The package program: this stub with a product archive appended by mavrix-package-builder.
// It installs the product silently and reports on standard output.
#include <string>
#include <vector>

#include "tools/package/PackageInstaller.h"
#include "tools/package/ProtocolOutput.h"
#include "tools/package/ToolProcess.h"

int main(int argc, char** argv) {
    Package::PrepareToolProcess();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    Package::ProtocolOutput out;
    // The running file itself, even when its name has been replaced meanwhile.
    return Package::InstallPackage("/proc/self/exe", Package::ReadInstallRequest(arguments), out);
}
