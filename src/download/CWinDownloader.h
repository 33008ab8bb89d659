#pragma once
// The system downloader: fetches the address with the system's own HTTP stack (which follows
// the desktop's proxy settings), three attempts a second apart, no MD5 check, no resume.
#include <atomic>
#include <string>

#include "platform/soup/HttpFileDownload.h"
#include "src/download/CDownloader.h"
#include "src/download/DownloadStatus.h"
#include "src/download/DownloadTimings.h"
#include "src/download/WorkerThreads.h"

class CWinDownloader : public CDownloader {
public:
    // Relays the system download's progress as 1002; once aborted, the download stops at
    // its next report.
    class CBindCallback {
    public:
        ~CBindCallback() { abort = true; }
        // False aborts the download. A maximum of 0 (unknown) is not relayed.
        bool OnProgress(uint64_t progress, uint64_t maximum) const;

        DownloadStatusCallback progressStatus;
        std::atomic<bool> abort{false};
    };

    CWinDownloader(DownloadStatusCallback status, std::wstring url, std::wstring path,
                   Download::DownloadTimings timings = {});
    // Stops the run under way; it then ends without reporting.
    ~CWinDownloader() override;

    int Start() override;

    // The address as the system download receives it: UTF-8, bytes 33 to 126 kept, a space
    // as "+", every other byte as "%XX" in capitals. "file:///" addresses stay as they are.
    static std::wstring EncodeUrl(const std::wstring& url);

private:
    void DownloadRoutine();

    CBindCallback bindCallback_;
    DownloadStatusCallback status_;
    std::wstring path_;
    std::wstring url_;
    Download::DownloadTimings timings_;
    platform::HttpFileDownload download_;
    Download::WorkerThreads workers_;  // last: its threads end before the members they use go
};
