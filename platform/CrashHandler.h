#pragma once
// Runs a report once when the process crashes (a fatal signal or std::terminate), on an
// alternate signal stack so that a stack overflow is reported too; afterwards the default
// action is restored and the signal raised again, so the process ends as it would have.
namespace platform {

// `report` receives the signal number (SIGABRT for std::terminate). It runs at most once,
// on the crashing thread.
using CrashReport = void (*)(int signal);
void InstallCrashHandler(CrashReport report);

}  // namespace platform
