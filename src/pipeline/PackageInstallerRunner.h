#pragma once
// Runs the downloaded package's own silent installer with the user's choices as switches
// and turns the lines it prints into status calls. One run per Start, on a worker thread
// named "ABDEF"; every status call comes from that thread.
#include <memory>
#include <string>

#include "src/pipeline/InstallStatus.h"
#include "src/utils/Thread.h"

class PackageInstallerRunner {
public:
    PackageInstallerRunner(InstallStatusCallback status, std::wstring quotedPackage, std::wstring installDir,
                           bool quickLaunch, bool desktopShortcut);
    ~PackageInstallerRunner();  // waits for a run in progress

    // Set by the pipeline before each run; only while no run is in progress.
    void SetChoices(std::wstring installDir, bool desktopShortcut, bool quickLaunch, bool adminAccount, bool runAsAdmin);

    std::wstring BuildCommandLine() const;

    // Retires the previous run's thread and starts a new run.
    void Start();

    // Applies one decoded output line; gives 1 after a success state, 1000 after a failure
    // and 0 otherwise. Used by the run; public so that the protocol can be tested alone.
    int ParseLine(const std::wstring& line);
    unsigned OutputCodePage() const { return outputCodePage_; }

    struct Version {
        int major = 0, minor = 0, patch = 0;
    };
    Version InstallVersion() const { return installVersion_; }

private:
    void Run();

    InstallStatusCallback status_;
    std::wstring quotedPackage_;
    std::wstring installDir_;
    std::wstring commandLine_;
    bool quickLaunch_;
    bool desktopShortcut_;
    unsigned outputCodePage_ = 0;
    std::unique_ptr<Utils::Thread> worker_;
    Version installVersion_;
    bool adminAccount_ = false;
    bool runAsAdmin_ = false;
};
