#pragma once
// An installation without a window, for scripted deployments ("-silent"): the checks the
// window makes before it starts, one run of the pipeline with one more try after a
// failed download, the records written as the window writes them, and progress printed
// as one line per new percentage. Runs on the first thread; the pipeline's reports are
// queued to it as they would be posted to the window.
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "src/pipeline/InstallProgress.h"
#include "src/pipeline/InstallStatus.h"

// The milestones an observer (the analytics reports) hears of, on the first thread.
class IUnattendedObserver {
public:
    virtual ~IUnattendedObserver() = default;
    virtual void OnStatus(const StatusRecord& /*record*/, const std::wstring& /*packagePath*/) {}
};

class UnattendedInstall {
public:
    enum ExitCode : int {
        kSucceeded = 0,
        kDownloadFailed = 10,
        kPackageFailed = 11,
        kRemovalFailed = 12,
        kRefused = 13,
    };

    // `switches` are the parsed command line ("-installdir=" names the folder).
    explicit UnattendedInstall(const std::map<std::wstring, std::wstring>& switches,
                               IUnattendedObserver* observer = nullptr);

    // Runs the installation to its end and gives the process's exit code; a one-line
    // reason goes to standard error on failure.
    int Run();

private:
    std::optional<int> Refusal(const std::wstring& folder);
    void Post(int32_t code, double value, const std::wstring& text);
    StatusRecord Take();
    std::optional<int> Handle(const StatusRecord& record);
    void ShowPercentage(int percent);

    std::wstring requestedFolder_;
    IUnattendedObserver* observer_;  // borrowed, may be null

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<StatusRecord> queue_;

    InstallProgress progress_;
    int lastPercent_ = -1;
    bool retried_ = false;
    std::wstring targetFolder_;
    std::wstring uninstallerEntry_;
    std::wstring packagePath_;
};
