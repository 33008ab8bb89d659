#pragma once
// Removes an installed older version by running a temporary copy of its uninstaller
// silently against the old install folder, and reports the removal stage's status codes
// from its worker thread "UnInstaller". One run per object.
#include <memory>
#include <string>

#include "src/pipeline/InstallStatus.h"
#include "src/utils/Thread.h"

class OldVersionUninstaller {
public:
    OldVersionUninstaller(InstallStatusCallback status, std::wstring uninstallerCopy, std::wstring oldInstallDir);
    ~OldVersionUninstaller();  // waits for the run

    // The copy's path and the old folder are quoted when they hold blanks, so that the
    // uninstaller receives each as one argument.
    std::wstring BuildCommandLine() const;
    void Start();

    // Applies one decoded output line; 1 after a success state, 1000 after a failure, else 0.
    int ParseLine(const std::wstring& line);

private:
    void Run();

    InstallStatusCallback status_;
    std::wstring commandLine_;
    std::wstring uninstallerCopy_;
    std::wstring oldInstallDir_;
    unsigned outputCodePage_ = 0;
    std::unique_ptr<Utils::Thread> worker_;
};
