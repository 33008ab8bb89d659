#pragma once
// The segmented downloader: resolves the final address and length with one header request,
// fetches one or two byte ranges on their own threads into their own part files (resuming
// what they hold), joins the parts into the target and checks the MD5 from the address.
// The first segment is hashed as it arrives and the later one as the join copies it; the
// file is read back only when that stream is in doubt. A failed run asks the owner, once,
// to start again.
#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "src/download/CDownloader.h"
#include "src/download/CurlHandle.h"
#include "src/download/DownloadStatus.h"
#include "src/download/DownloadTimings.h"
#include "src/download/StreamMd5.h"
#include "src/download/WorkerThreads.h"

// One segment: its inclusive byte range, its part file and its transfer. Written by its
// segment thread; `downloaded` is also read by the other segment's progress reports.
struct DownloadPartNode {
    FILE* file = nullptr;        // open for appending while the segment downloads
    int64_t position = 0;        // offset in the whole file of the next byte to write
    int64_t end = 0;             // offset of the segment's last byte
    Download::EasyHandle transfer;
    std::string url;
    std::string partPath;
    int state = -1;              // -1 waiting, -2 part file unusable, 0 complete, >0 libcurl's last failure
    std::atomic<int64_t> downloaded{0};  // bytes of this segment on disk
    int64_t attemptStart = 0;    // position when the current attempt began
    bool responseChecked = false;
    // The first segment's hash, when it is fetched from the file's first byte in one attempt;
    // dropped at any doubt (a failed attempt or write).
    std::unique_ptr<Download::StreamMd5> md5;
};

class CMTCurlDownloader : public CDownloader {
public:
    // Deletes the target and both part files, so nothing is resumed from an earlier run.
    CMTCurlDownloader(DownloadStatusCallback status, std::wstring url, std::wstring path,
                      Download::DownloadTimings timings = {});
    // Stops the run under way (it then ends without reporting) and deletes the part files.
    ~CMTCurlDownloader() override;

    // Safe to call from the status callback of the run it replaces.
    int Start() override;

    // Value of 1005/1004 when the finished segments cannot be joined into the target.
    static constexpr int kJoinFailed = -2;

private:
    void Start_Down();
    bool getRealDownloadUrl(const std::string& address);
    void CreateNodes();
    int downloadExe(DownloadPartNode& node);
    void downloadThreadFun(DownloadPartNode& node);
    void waitForFinishThreadFun();
    void FinishJoined();
    void FinishFailed(int lastError);
    bool JoinParts();
    // The MD5 of the joined file when the stream covered every byte of it, else empty.
    static std::string JoinedMd5(std::unique_ptr<Download::StreamMd5> md5, int64_t length);
    void ReleaseNodes();
    void DeletePartFiles() const;
    std::string PartPath(size_t index) const;

    static int ProgressRoutine(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static size_t WriteSegment(char* data, size_t size, size_t count, void* node);

    std::vector<std::unique_ptr<DownloadPartNode>> parts_;
    DownloadStatusCallback status_;
    std::wstring path_;
    std::wstring url_;
    std::string realUrl_;
    int64_t length_ = -1;
    std::string urlMd5_;
    std::string streamedMd5_;    // of the last join; empty: read the file back
    double lastProgress_ = 0.0;  // percent of the last report; 0.0: none in this download
    std::mutex runningLock_;
    std::condition_variable segmentEnded_;
    int running_ = 0;            // segment threads still running
    std::mutex progressLock_;    // guards lastProgressSecond_ and lastProgress_
    int64_t lastProgressSecond_ = 0;
    bool retried_ = false;
    std::atomic<bool> stopping_{false};
    Download::DownloadTimings timings_;
    Download::WorkerThreads workers_;  // last: its threads end before the members they use go
};
