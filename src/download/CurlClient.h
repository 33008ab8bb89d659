#pragma once
// One resumable HTTP(S) or file:/// download of one file over libcurl: resolves the final
// address and the length with header requests, refuses files under 1 MiB or of unknown
// size, streams into "<target>.part" (resuming what is there) and moves the part file into
// place. When its owner asks, it also computes the MD5 of the part file from the bytes it
// writes; status codes, MD5 checks and retries belong to its owner. Driven by one thread
// at a time; only RequestStop may be called from another.
#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "src/download/CurlHandle.h"
#include "src/download/DownloadTimings.h"
#include "src/download/StreamMd5.h"

class CurlClient {
public:
    // (speed in bytes per second, reserved, percent of the whole file)
    using ProgressFunction = std::function<void(double speed, double reserved, double percent)>;
    // Whether the file behind a final address is to be hashed while it is written.
    using Md5Wanted = std::function<bool(const std::string& realUrl)>;

    // Results of Start besides 0 and libcurl's own codes.
    static constexpr int kMoveFailed = -995;      // the part file could not replace the target
    static constexpr int kPartFileFailed = -996;  // the part file could not be opened
    static constexpr int kNoHandle = -997;
    static constexpr int kNoUsableLength = -998;  // no final address, or a length under 1 MiB or unknown
    static constexpr double kMinimumLength = 1048576.0;

    CurlClient(std::wstring url, std::wstring path, Download::DownloadTimings timings = {});
    // Stops a running transfer and deletes the part file.
    ~CurlClient();
    CurlClient(const CurlClient&) = delete;
    CurlClient& operator=(const CurlClient&) = delete;

    void SetProgressFunction(ProgressFunction progress) { progress_ = std::move(progress); }
    void SetMd5Wanted(Md5Wanted wanted) { md5Wanted_ = std::move(wanted); }

    // One complete attempt: resolve when needed, transfer, move into place. 0 when the
    // target file is in place. Blocks until the attempt ends.
    int Start();
    // The running transfer ends at its next progress report with 42; so do later ones.
    void RequestStop() { stopRequested_ = true; }

    // libcurl's transfer-information callback; 1 aborts the transfer.
    static int ProgressCallback(void* owner, curl_off_t totalToDownload, curl_off_t downloadedNow,
                                curl_off_t totalToUpload, curl_off_t uploadedNow);

    // A header request that follows redirects, performed; the handle is the caller's.
    Download::EasyHandle Head(const std::string& address);
    static std::string GetEffectiveUrl(CURL* handle);
    // The content length of a finished request; -1.0 when unknown or the status is not 2xx/3xx.
    static double GetDownloadFileLength(CURL* handle);
    // Header request without following redirects; the length it reports.
    double GetDownloadFileLength_Str(const std::string& address);
    // Header request that follows redirects; the final address, else `address` itself.
    std::string GetRealUrl_Str(const std::string& address);

    std::wstring GetPartPath(bool withSuffix) const { return withSuffix ? path_ + L".part" : path_; }
    const std::string& realUrl() const { return realUrl_; }
    double fileLength() const { return fileLength_; }
    const std::wstring& errorText() const { return errorText_; }
    // The MD5 of the file the last Start moved into place, computed while it was written
    // (a resumed part file's earlier bytes read back first); empty when it was not wanted,
    // or when the file may hold other bytes than those hashed: the owner then reads the file.
    const std::string& streamedMd5() const { return streamedMd5_; }

private:
    // Steps 3 and 4 of an attempt: false when no usable address and length were found.
    bool Resolve(const std::string& requestAddress);
    int TransferToPartFile(const std::string& partPath);
    int Transfer(CURL* transfer, FILE* partFile, const std::string& partPath);
    // The hash of a transfer that appends to a part file of resumeFrom_ bytes, those bytes
    // read back; none when it is not wanted or they cannot all be read.
    std::unique_ptr<Download::StreamMd5> StartMd5(const std::string& partPath) const;
    // The digest of the transfer, when the file it went to (at path now) holds as many
    // bytes as were hashed.
    std::string FinishMd5(const std::string& path);
    static size_t WriteToPartFile(char* data, size_t size, size_t count, void* client);
    int MoveIntoPlace(const std::string& partPath, const std::string& targetPath);
    void ApplyCommonOptions(CURL* handle) const;

    std::wstring url_;
    std::wstring path_;
    ProgressFunction progress_;
    double fileLength_ = -1.0;
    int64_t resumeFrom_ = -1;
    int64_t lastProgressSecond_ = 0;
    std::atomic<bool> stopRequested_{false};
    CURL* transfer_ = nullptr;  // valid while a transfer runs
    std::wstring errorText_;
    std::string realUrl_;
    Download::DownloadTimings timings_;
    Md5Wanted md5Wanted_;
    FILE* partFile_ = nullptr;                 // valid while a transfer runs
    std::unique_ptr<Download::StreamMd5> md5_;  // the transfer's hash; dropped at a failed write
    std::string streamedMd5_;
};
