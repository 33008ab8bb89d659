#pragma once
// The spine of the installer process: the fixed start-up order (crash filter, libcurl,
// single instance, switches, analytics, main window) and the shutdown order after it.
// Runs on the process's first thread, which is the window thread.
#include <string>

// The steps that the analytics and the windows fill in, called at their fixed places.
class IInstallerSteps {
public:
    virtual ~IInstallerSteps() = default;

    virtual void OnLibcurlInitFailed() {}
    virtual void StartAnalytics() {}
    virtual void StopAnalytics() {}
    // Creates the main window and runs it until it is gone; the result is the process's
    // exit code (0 after a normal run).
    virtual int RunMainWindow() = 0;
    virtual void DestroyMainWindow() {}
    // Called once, on the crashing thread, before the process ends.
    virtual void ReportCrash(int /*signal*/) {}
};

inline constexpr wchar_t kInstanceMutexName[] = L"D1A547DB89C0BC61_Installer_Mavrix";
inline constexpr int kExitAlreadyRunning = -1;

// Runs start-up, the main window and shutdown; returns the process's exit code: -1 when
// another copy already runs.
int InstallerMain(const std::wstring& commandLine, IInstallerSteps& steps);
