#pragma once
// How the download engine hands an analytics task event to the layer that reports them,
// which sits above it: that layer installs a reporter at start-up; without one the events
// are dropped.
#include <functional>
#include <map>
#include <string>

namespace Download {

using TaskEventProperties = std::map<std::wstring, std::wstring>;
using TaskEventReporter = std::function<void(const std::wstring& name, const std::wstring& reason, float elapsed,
                                             const TaskEventProperties& properties)>;

// Thread-safe; an empty reporter removes the current one.
void SetTaskEventReporter(TaskEventReporter reporter);
void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsed,
                     const TaskEventProperties& properties);

}  // namespace Download
