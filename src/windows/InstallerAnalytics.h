#pragma once
// The installer's analytics: the four report routines that turn its wide-string texts into
// tracker records, the analytics start and stop, the crash filter's reports and the early
// libcurl failure. Every routine does nothing while InstallerSettings.IsEnableAppTelemetry is
// false or no tracker runs; none of them can stop or delay the installer. Callable from any
// thread; start and stop run on the window thread.
#include <map>
#include <string>

// Extra properties of a report; the key "AB" carries the A/B group.
using AnalyticsProperties = std::map<std::wstring, std::wstring>;

void ReportTaskEvent(const std::wstring& name, const std::wstring& reason, float elapsed,
                     const AnalyticsProperties& extra);
void ReportClickEvent(const AnalyticsProperties& extra, const std::wstring& buttonText);
// The installing view, "安装中".
void ReportViewEvent(const AnalyticsProperties& extra);
void ReportCrashEvent();

// Creates the process-wide tracker from the settings, then sends the libcurl failure if
// one is held.
void StartAnalytics();
// Empties the process-wide tracker: it saves its identity and delivers what is queued, or
// stages it for the next run.
void StopAnalytics();

// The crash filter's reports: "崩溃退出", the crash record, then the analytics stop, since
// the process ends right after and nothing else would deliver them.
void ReportCrash();

// libcurl's global initialisation failed. Start-up reports this before analytics starts,
// so the event is held and sent by StartAnalytics.
void ReportLibcurlInitFailed();

// The screen size the tracker reports; 0 by 0 (no display) until the window layer sets it.
void SetAnalyticsScreenSize(int width, int height);

// ":1.code=%ld；2.msg=%s" with the integer part of `value`.
std::wstring FormatStatusReason(double value, const std::wstring& text);
// "1.code=%ld；2.msg=%s；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%s；5.服务器连接状态code=%d" for a
// failed download of `packagePath`; probes the disk, the package folder and the network.
std::wstring FormatDownloadFailureReason(double value, const std::wstring& text, const std::wstring& packagePath);
// "可读" when the package file can be (re)created and deleted, "无权限" otherwise; leaves no file.
std::wstring PackageWritePermissionText(const std::wstring& packagePath);
