#pragma once
// This build's fill-in of the installer's start-up steps: the composition root that
// connects the analytics reports and decides what runs as the "main window".
#include <string>

#include "src/core/InstallerStartup.h"

class InstallerApp : public IInstallerSteps {
public:
    explicit InstallerApp(std::wstring commandLine) : commandLine_(std::move(commandLine)) {}

    void OnLibcurlInitFailed() override;
    void StartAnalytics() override;
    void StopAnalytics() override;
    // "-silent" installs without a window; otherwise the wizard window runs.
    int RunMainWindow() override;
    void DestroyMainWindow() override;
    void ReportCrash(int signal) override;

private:
    std::wstring commandLine_;
};
