#include "src/download/DownloadTaskEvent.h"

#include <mutex>

namespace Download {
namespace {

std::mutex& ReporterLock() {
    static std::mutex lock;
    return lock;
}

TaskEventReporter& Reporter() {
    static TaskEventReporter reporter;
    return reporter;
}

}  // namespace

void SetTaskEventReporter(TaskEventReporter reporter) {
    std::lock_guard lock(ReporterLock());
    Reporter() = std::move(reporter);
}

void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsed,
                     const TaskEventProperties& properties) {
    TaskEventReporter reporter;
    {
        std::lock_guard lock(ReporterLock());
        reporter = Reporter();
    }
    if (reporter) reporter(name, reason, elapsed, properties);
}

}  // namespace Download
