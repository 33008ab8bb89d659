// mavrix-package-builder: turns a product folder into one package program.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "tools/package/PackageBuilder.h"
#include "tools/package/ToolProcess.h"

namespace {

constexpr char kUsage[] =
    "usage: mavrix-package-builder [--stub FILE] [--uninstaller FILE] [--name NAME] [--exe FILE]\n"
    "                              <product folder> <version> <output file>\n"
    "  --stub         the package program without payload (default: mavrix-package-stub beside this program)\n"
    "  --uninstaller  the uninstaller program (default: mavrix-uninstaller beside this program)\n"
    "  --name         the product's name (default: Mavrix)\n"
    "  --exe          the product's main program in the folder (default: Mavrix.exe)\n";

std::string BesideMe(const char* name) {
    std::error_code error;
    return (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / name).string();
}

}  // namespace

int main(int argc, char** argv) {
    Package::PrepareToolProcess();
    Package::BuildRequest request;
    request.stubPath = BesideMe("mavrix-package-stub");
    request.uninstallerPath = BesideMe("mavrix-uninstaller");
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        std::string* option = argument == "--stub" ? &request.stubPath
                              : argument == "--uninstaller" ? &request.uninstallerPath
                              : argument == "--name" ? &request.productName
                              : argument == "--exe" ? &request.exeName
                                                    : nullptr;
        if (option && i + 1 < argc) *option = argv[++i];
        else if (option || argument.starts_with("--")) {
            std::fputs(kUsage, stderr);
            return 2;
        } else positional.emplace_back(argument);
    }
    if (positional.size() != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    request.productFolder = positional[0];
    request.version = positional[1];
    request.outputPath = positional[2];
    if (auto built = Package::BuildPackage(request); !built) {
        std::fprintf(stderr, "mavrix-package-builder: %s\n", built.error().c_str());
        return 1;
    }
    std::printf("%s\n", request.outputPath.c_str());
    return 0;
}
