// The installer executable: builds the command line the way the installer reads it and
// runs the start-up order with this build's steps.
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Text.h"
#include "src/app/InstallerApp.h"
#include "src/core/InstallerSettings.h"
#include "src/core/InstallerStartup.h"

namespace {

// The settings record is complete (defaults and settings file) before main runs.
[[maybe_unused]] const InstallerSettings& g_settingsAtStart = Settings();

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(platform::AnsiToWide(argv[i]));
    const std::wstring commandLine = platform::BuildCommandLine(arguments).value_or(L"");
    InstallerApp app(commandLine);
    return InstallerMain(commandLine, app);
}
