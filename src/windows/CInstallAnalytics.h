#pragma once
// Turns the install pipeline's status reports into the installer's analytics events, in the
// order the main window sends them: the downloader start (once per run), each download
// start, its end with the elapsed seconds, failure reasons and the install result. The
// main window and the unattended install ("-silent") feed their pipeline's statuses here.
// Lives on the thread that handles the statuses (the window thread).
#include <string>

#include "src/utils/SystemProbes.h"

class CInstallAnalytics {
public:
    // `packagePath`: where the pipeline puts the package, for the download failure text.
    CInstallAnalytics(std::wstring abGroup, std::wstring packagePath);

    // "下载器启动", unless already sent in this run.
    void ReportDownloaderStart();
    void OnStatus(int code, double value, const std::wstring& text);
    void SetPackagePath(std::wstring packagePath) { packagePath_ = std::move(packagePath); }

private:
    std::wstring abGroup_;
    std::wstring packagePath_;
    bool downloaderStartReported_ = false;
    ElapsedTimer elapsed_;  // restarted at every download start
};
