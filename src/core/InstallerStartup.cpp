#include "src/core/InstallerStartup.h"

#include <curl/curl.h>

#include <atomic>

#include "platform/CrashHandler.h"
#include "platform/InstanceLock.h"
#include "src/core/InstallerSettings.h"

namespace {

// The crash handler is a plain function: it finds the steps through this pointer.
std::atomic<IInstallerSteps*> g_crashSteps{nullptr};

void CrashFilter(int signal) {
    if (IInstallerSteps* steps = g_crashSteps.load()) steps->ReportCrash(signal);
}

}  // namespace

int InstallerMain(const std::wstring& commandLine, IInstallerSteps& steps) {
    // Step 1, hardening the library search path, has no counterpart here.
    // Step 2: the crash filter.
    g_crashSteps = &steps;
    platform::InstallCrashHandler(CrashFilter);

    // Step 3: libcurl; a failure is remembered and reported, and start-up goes on.
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
        Settings().LibcurlReady = false;
        steps.OnLibcurlInitFailed();
    }

    // Step 4: a second copy ends at once and silently.
    auto instance = platform::InstanceLock::Acquire(kInstanceMutexName);
    if (!instance) return kExitAlreadyRunning;

    // Steps 5 to 7: switches, analytics, the main window's run.
    Settings().ApplyCommandLine(commandLine);
    steps.StartAnalytics();
    const int exitCode = steps.RunMainWindow();

    // Shutdown: analytics, libcurl, the main window object, the instance lock.
    if (Settings().IsEnableAppTelemetry) steps.StopAnalytics();
    curl_global_cleanup();
    steps.DestroyMainWindow();
    g_crashSteps = nullptr;
    return exitCode;  // the instance lock is released here
}
