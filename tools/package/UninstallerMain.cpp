// The installed uninstaller ("uninst.exe", and "uninst.ep" beside it). The installer runs a
// copy of it from its temporary folder with "_?=" naming the install folder.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tools/package/ProductUninstaller.h"
#include "tools/package/ProtocolOutput.h"
#include "tools/package/ToolProcess.h"

int main(int argc, char** argv) {
    Package::PrepareToolProcess();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::error_code error;
    const std::string ownPath = std::filesystem::read_symlink("/proc/self/exe", error).string();
    Package::ProtocolOutput out;
    return Package::UninstallProduct(Package::ReadUninstallFolder(arguments, ownPath), out);
}
