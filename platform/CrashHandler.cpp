#include "platform/CrashHandler.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <vector>

namespace platform {
namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS};

std::atomic<CrashReport> g_report{nullptr};
std::atomic<bool> g_reported{false};

void ReportOnce(int signal) {
    if (g_reported.exchange(true)) return;
    if (CrashReport report = g_report.load()) report(signal);
}

void OnFatalSignal(int signal) {
    ReportOnce(signal);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void OnTerminate() {
    ReportOnce(SIGABRT);
    std::abort();
}

}  // namespace

void InstallCrashHandler(CrashReport report) {
    g_report = report;

    // The alternate stack lives for the rest of the process.
    static std::vector<char> alternateStack(std::max<size_t>(static_cast<size_t>(SIGSTKSZ), 64 * 1024));
    stack_t stack{};
    stack.ss_sp = alternateStack.data();
    stack.ss_size = alternateStack.size();
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_handler = OnFatalSignal;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals) sigaction(signal, &action, nullptr);
    std::set_terminate(OnTerminate);
}

}  // namespace platform
