#pragma once
// The single-stream downloader: one CurlClient with a retry budget per run and the MD5
// check against the final address (hashed while the file is written, read back only when
// that stream is in doubt); an MD5 mismatch asks the owner, once, to start again.
#include <atomic>
#include <string>

#include "src/download/CDownloader.h"
#include "src/download/CurlClient.h"
#include "src/download/DownloadStatus.h"
#include "src/download/DownloadTimings.h"
#include "src/download/WorkerThreads.h"

class CCurlDownloader : public CDownloader {
public:
    // Deletes a part file left at path + ".part" by an earlier installer run.
    CCurlDownloader(DownloadStatusCallback status, std::wstring url, std::wstring path,
                    Download::DownloadTimings timings = {});
    // Stops the run under way; it then ends without reporting.
    ~CCurlDownloader() override;

    // Safe to call from the status callback of the run it replaces.
    int Start() override;

private:
    void dlThreadFun();
    // Steps 4 to 7 of a run: the MD5 check and the final report.
    void Finish();
    void RelayProgress(double speed, double percent);

    DownloadStatusCallback status_;
    std::wstring path_;
    std::wstring url_;
    Download::DownloadTimings timings_;
    CurlClient client_;
    bool retried_ = false;
    std::atomic<bool> stopping_{false};
    Download::WorkerThreads workers_;  // last: its threads end before the members they use go
};
