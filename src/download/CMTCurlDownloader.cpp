#include "src/download/CMTCurlDownloader.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/SystemError.h"
#include "platform/Text.h"
#include "src/core/DebugLog.h"
#include "src/core/InstallerSettings.h"
#include "src/download/SegmentPlan.h"
#include "src/download/UrlMd5.h"
#include "src/utils/SystemProbes.h"

namespace {

constexpr int kRetryBudget = 12;
constexpr int kPartialFile = 18;
constexpr int64_t kMinimumLength = 256;
constexpr std::chrono::milliseconds kRetryPause{400};
constexpr std::chrono::milliseconds kSegmentStagger{100};
constexpr size_t kJoinBlock = 64 * 1024;
constexpr wchar_t kLibCurl[] = L"LibCurl";

std::wstring CurlText(int code) { return platform::AnsiToWide(curl_easy_strerror(static_cast<CURLcode>(code))); }

std::wstring LastSystemError() { return platform::Utf8ToWide(platform::SystemError::FromErrno().Message()); }

int64_t FileSizeOrZero(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<int64_t>(size);
}

}  // namespace

CMTCurlDownloader::CMTCurlDownloader(DownloadStatusCallback status, std::wstring url, std::wstring path,
                                     Download::DownloadTimings timings)
    : status_(std::move(status)), path_(std::move(path)), url_(std::move(url)), timings_(std::move(timings)) {
    std::remove(platform::WideToAnsi(path_).c_str());
    DeletePartFiles();
}

CMTCurlDownloader::~CMTCurlDownloader() {
    stopping_ = true;
    workers_.Stop();
    ReleaseNodes();
    DeletePartFiles();
}

int CMTCurlDownloader::Start() {
    workers_.Retire();
    return workers_.Launch(L"ABDEF", [this] { Start_Down(); }) ? 0 : -1;
}

std::string CMTCurlDownloader::PartPath(size_t index) const {
    return platform::WideToAnsi(path_) + "_" + std::to_string(index);
}

void CMTCurlDownloader::DeletePartFiles() const {
    std::remove(PartPath(0).c_str());
    std::remove(PartPath(1).c_str());
}

void CMTCurlDownloader::Start_Down() {
    // Pass 1: resolve the address and the length, unless an earlier run did.
    status_(DL_CODE_START, 1.0, L"");
    DebugLog(L"start download\r\n");
    const std::string address =
        url_.starts_with(L"file:///") ? platform::WideToAnsi(url_) : platform::WideToUtf8(url_);
    std::remove(platform::WideToAnsi(path_).c_str());
    if (lastProgress_ == 0.0) DeletePartFiles();
    if ((realUrl_.empty() || length_ < kMinimumLength) && !getRealDownloadUrl(address)) {
        status_(DL_CODE_FAIL, 0.0, kLibCurl);
        return;
    }

    // Pass 2: one node per planned segment, resuming its part file.
    CreateNodes();

    // Pass 3: a thread for each segment still to download, then the thread that waits for them.
    for (auto& node : parts_) {
        if (node->state != -1 || stopping_) continue;
        {
            std::lock_guard lock(runningLock_);
            ++running_;
        }
        if (!workers_.Launch(L"", [this, part = node.get()] { downloadThreadFun(*part); })) {
            std::lock_guard lock(runningLock_);
            --running_;
            continue;
        }
        timings_.sleep(kSegmentStagger);
    }
    if (!workers_.Launch(L"", [this] { waitForFinishThreadFun(); })) waitForFinishThreadFun();
}

bool CMTCurlDownloader::getRealDownloadUrl(const std::string& address) {
    realUrl_.clear();
    urlMd5_.clear();
    length_ = 0;
    if (!Settings().LibcurlReady) return false;
    Download::EasyHandle handle(curl_easy_init());
    if (!handle) return false;
    Download::HeaderList headers(curl_slist_append(nullptr, "Connection: keep-alive"));
    curl_easy_setopt(handle.get(), CURLOPT_HTTPHEADER, headers.get());
    int options = curl_easy_setopt(handle.get(), CURLOPT_URL, address.c_str());
    options |= curl_easy_setopt(handle.get(), CURLOPT_FOLLOWLOCATION, 1L);
    options |= curl_easy_setopt(handle.get(), CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    options |= curl_easy_setopt(handle.get(), CURLOPT_NOBODY, 1L);
    options |= curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &Download::DiscardBody);
    options |= curl_easy_setopt(handle.get(), CURLOPT_CONNECTTIMEOUT, static_cast<long>(timings_.connectTimeout.count()));
    if (options != 0) return false;
    if (const CURLcode result = curl_easy_perform(handle.get()); result != CURLE_OK) {
        DebugLog(L"error:%d:%s\r\n", static_cast<int>(result), CurlText(result));
        return false;
    }

    char* effective = nullptr;
    if (curl_easy_getinfo(handle.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective && *effective) {
        realUrl_ = effective;
        DebugLog(L"Download File real url %s\r\n", platform::AnsiToWide(realUrl_));
        urlMd5_ = GetUrlMd5(realUrl_);
    }
    curl_off_t contentLength = -1;
    long responseCode = 0;
    if (curl_easy_getinfo(handle.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength) == CURLE_OK &&
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &responseCode) == CURLE_OK && responseCode >= 200 &&
        responseCode <= 399) {
        length_ = contentLength;
        DebugLog(L"Download File Length %lld\r\n", static_cast<long long>(length_));
    }
    return !realUrl_.empty() && length_ >= kMinimumLength;
}

void CMTCurlDownloader::CreateNodes() {
    const auto plan = Download::PlanSegments(length_);
    for (size_t i = 0; i < plan.size(); ++i) {
        auto node = std::make_unique<DownloadPartNode>();
        node->partPath = PartPath(i);
        const int64_t existing = FileSizeOrZero(node->partPath);
        node->downloaded = existing;
        node->position = plan[i].first + existing;
        node->end = plan[i].last;
        node->transfer.reset(curl_easy_init());
        node->url = realUrl_;
        if (node->position > node->end) {
            node->state = 0;
        } else if (!node->transfer || !(node->file = std::fopen(node->partPath.c_str(), "ab+"))) {
            node->state = -2;
        } else if (i == 0 && existing == 0 && urlMd5_.size() == 32) {
            node->md5 = std::make_unique<Download::StreamMd5>();
        }
        parts_.push_back(std::move(node));
    }
}

int CMTCurlDownloader::downloadExe(DownloadPartNode& node) {
    // A segment that already holds its last byte (a server sent more than was asked for)
    // is complete: asking for the range after it would only fail.
    if (node.position > node.end) {
        if (node.file) std::fclose(node.file);
        node.file = nullptr;
        node.md5.reset();
        node.state = 0;
        return 0;
    }
    const std::string range = std::to_string(node.position) + "-" + std::to_string(node.end);
    CURL* transfer = node.transfer.get();
    int options = curl_easy_setopt(transfer, CURLOPT_NOSIGNAL, 1L);
    options |= curl_easy_setopt(transfer, CURLOPT_URL, node.url.c_str());
    options |= curl_easy_setopt(transfer, CURLOPT_TIMEOUT, 0L);
    options |= curl_easy_setopt(transfer, CURLOPT_FOLLOWLOCATION, 1L);
    options |= curl_easy_setopt(transfer, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    options |= curl_easy_setopt(transfer, CURLOPT_WRITEFUNCTION, &CMTCurlDownloader::WriteSegment);
    options |= curl_easy_setopt(transfer, CURLOPT_WRITEDATA, &node);
    options |= curl_easy_setopt(transfer, CURLOPT_NOPROGRESS, 0L);
    options |= curl_easy_setopt(transfer, CURLOPT_XFERINFOFUNCTION, &CMTCurlDownloader::ProgressRoutine);
    options |= curl_easy_setopt(transfer, CURLOPT_XFERINFODATA, this);
    options |= curl_easy_setopt(transfer, CURLOPT_FAILONERROR, 1L);
    options |= curl_easy_setopt(transfer, CURLOPT_BUFFERSIZE, Download::kReceiveBufferSize);
    options |= curl_easy_setopt(transfer, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timings_.connectTimeout.count()));
    options |= curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_LIMIT, timings_.lowSpeedLimit);
    options |= curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timings_.lowSpeedTime.count()));
    options |= curl_easy_setopt(transfer, CURLOPT_RANGE, range.c_str());
    if (options != 0) return options;

    node.attemptStart = node.position;
    node.responseChecked = false;
    int result = curl_easy_perform(transfer);
    // A body that ended early but "completely" still leaves the segment short.
    if (result == CURLE_OK && node.position <= node.end) result = CURLE_PARTIAL_FILE;
    if (result != CURLE_OK) {
        DebugLog(L"error:%d:%s\r\n", result, CurlText(result));
    } else {
        DebugLog(L"curl_easy_cleanup\r\n");
    }
    curl_easy_reset(transfer);
    if (result == CURLE_OK) {
        // What stdio still held must reach the file too, or the stream is more than the file.
        if (std::fclose(node.file) != 0) node.md5.reset();
        node.file = nullptr;
    } else {
        node.md5.reset();
    }
    node.state = result;
    return result;
}

size_t CMTCurlDownloader::WriteSegment(char* data, size_t size, size_t count, void* nodePointer) {
    auto& node = *static_cast<DownloadPartNode*>(nodePointer);
    if (!node.responseChecked) {
        // Bytes belong at `position` only when the server honoured the range, or when it sent
        // the whole file and the attempt began at its first byte.
        node.responseChecked = true;
        long responseCode = 0;
        curl_easy_getinfo(node.transfer.get(), CURLINFO_RESPONSE_CODE, &responseCode);
        const bool fromFirstByte = responseCode == 200 && node.attemptStart == 0;
        if (responseCode != 206 && responseCode != 0 && !fromFirstByte) {
            DebugLog(L"range ignored, status %ld\r\n", responseCode);
            return 0;
        }
    }
    if (node.position > node.end) return 0;
    const int64_t room = node.end - node.position + 1;
    const size_t wanted = size * count;
    const size_t accepted = static_cast<int64_t>(wanted) > room ? static_cast<size_t>(room) : wanted;
    const size_t written = std::fwrite(data, 1, accepted, node.file);
    if (node.md5) {
        if (written == accepted) {
            node.md5->Add(data, written);
        } else {
            node.md5.reset();  // what reached the file is unknown
        }
    }
    node.position += static_cast<int64_t>(written);
    node.downloaded += static_cast<int64_t>(written);
    return written;
}

int CMTCurlDownloader::ProgressRoutine(void* downloader, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto& self = *static_cast<CMTCurlDownloader*>(downloader);
    if (self.stopping_) return 1;  // the owner is going away
    std::lock_guard lock(self.progressLock_);
    const int64_t now = self.timings_.nowSeconds();
    if (now - self.lastProgressSecond_ < 1) return 0;
    self.lastProgressSecond_ = now;
    double percent = 0.0;
    if (self.length_ >= kMinimumLength) {
        for (const auto& node : self.parts_) {
            const int64_t downloaded = node->downloaded;
            if (downloaded > 0) percent += static_cast<double>(downloaded) * 100.0 / static_cast<double>(self.length_);
        }
        if (percent > 100.0) return 0;
    }
    if (percent - self.lastProgress_ >= 1.0) {
        self.lastProgress_ = percent;
        self.status_(DL_CODE_PROGRESS, percent / 100.0, L"");
    }
    return 0;
}

void CMTCurlDownloader::downloadThreadFun(DownloadPartNode& node) {
    int budget = kRetryBudget;
    int result = downloadExe(node);
    while (result != 0 && budget > 0 && !stopping_) {
        budget -= result == kPartialFile ? 1 : 2;
        DebugLog(L"CurlDownLoader Code=%d\r\n", result);
        timings_.sleep(kRetryPause);
        result = downloadExe(node);
    }
    if (node.file) std::fclose(node.file);
    node.file = nullptr;
    {
        std::lock_guard lock(runningLock_);
        --running_;
    }
    segmentEnded_.notify_all();
}

void CMTCurlDownloader::waitForFinishThreadFun() {
    {
        std::unique_lock lock(runningLock_);
        segmentEnded_.wait(lock, [this] { return running_ == 0; });
    }
    if (stopping_) return;
    int lastError = 0;
    for (const auto& node : parts_) {
        if (node->state != 0) {
            lastError = node->state;
            break;
        }
    }
    if (lastError != 0) {
        FinishFailed(lastError);
        return;
    }
    {
        std::lock_guard lock(progressLock_);
        lastProgress_ = 0.0;
    }
    if (!JoinParts()) {
        FinishFailed(kJoinFailed);
        return;
    }
    FinishJoined();
}

void CMTCurlDownloader::FinishJoined() {
    if (urlMd5_.size() == 32) {
        std::string actual = std::exchange(streamedMd5_, {});
        if (actual.empty()) actual = GetFileMd5(platform::WideToAnsi(path_));
        if (actual.size() == 32 && actual != urlMd5_) {
            status_(DL_CODE_MESSAGE, 0.0, L"mtcurl文件md5校验失败");
            std::remove(platform::WideToAnsi(path_).c_str());
            ReleaseNodes();
            if (retried_) {
                DebugLog(L"finish recv, md5 chaek failed and retry failed.\r\n");
                status_(DL_CODE_FAIL, 0.0, kLibCurl);
            } else {
                retried_ = true;
                DebugLog(L"finish recv, md5 chaek failed retry once.\r\n");
                status_(DL_CODE_RETRY, 0.0, kLibCurl);
            }
            return;
        }
    } else {
        status_(DL_CODE_MESSAGE, 0.0, L"mtcurl获取url-md5失败");
    }
    DebugLog(L"finish recv\r\n");
    ReleaseNodes();
    status_(DL_CODE_SUCCESS, 0.0, kLibCurl);
}

void CMTCurlDownloader::FinishFailed(int lastError) {
    ReleaseNodes();
    std::unique_lock lock(progressLock_);
    if (lastProgress_ == 0.0) DeletePartFiles();
    if (retried_) {
        lastProgress_ = 0.0;
        lock.unlock();
        status_(DL_CODE_FAIL, lastError, kLibCurl);
    } else {
        retried_ = true;
        lock.unlock();
        status_(DL_CODE_RETRY, lastError, kLibCurl);
    }
}

bool CMTCurlDownloader::JoinParts() {
    // Pass 1: append every later part to the first, hashing it after the first part's stream;
    // a part that cannot be read fails the join.
    streamedMd5_.clear();
    std::unique_ptr<Download::StreamMd5> md5 = std::move(parts_.front()->md5);
    FILE* joined = std::fopen(parts_.front()->partPath.c_str(), "ab");
    if (!joined) {
        DebugLog(L"join: %s\r\n", LastSystemError());
        return false;
    }
    bool ok = true;
    std::vector<char> block(kJoinBlock);
    for (size_t i = 1; ok && i < parts_.size(); ++i) {
        FILE* part = std::fopen(parts_[i]->partPath.c_str(), "rb");
        if (!part) {
            DebugLog(L"join: %s\r\n", LastSystemError());
            ok = false;
            break;
        }
        size_t n;
        while (ok && (n = std::fread(block.data(), 1, block.size(), part)) > 0) {
            ok = std::fwrite(block.data(), 1, n, joined) == n;
            if (md5) md5->Add(block.data(), n);
        }
        ok = ok && !std::ferror(part);
        std::fclose(part);
        DebugLog(L"partPath::%s\r\n", platform::AnsiToWide(parts_[i]->partPath));
    }
    ok = std::fclose(joined) == 0 && ok;

    // Pass 2: only a file of the announced length replaces the target.
    const std::string first = parts_.front()->partPath;
    if (ok && FileSizeOrZero(first) != length_) {
        DebugLog(L"join: %lld bytes instead of %lld\r\n", static_cast<long long>(FileSizeOrZero(first)),
                 static_cast<long long>(length_));
        ok = false;
    }
    if (ok && std::rename(first.c_str(), platform::WideToAnsi(path_).c_str()) != 0) {
        DebugLog(L"join: %s\r\n", LastSystemError());
        ok = false;
    }
    if (ok) {
        DeletePartFiles();
        streamedMd5_ = JoinedMd5(std::move(md5), length_);
    }
    return ok;
}

std::string CMTCurlDownloader::JoinedMd5(std::unique_ptr<Download::StreamMd5> md5, int64_t length) {
    // The joined file has the announced length; a stream of another length missed bytes.
    if (!md5 || md5->size() != length) return {};
    return md5->Finish();
}

void CMTCurlDownloader::ReleaseNodes() {
    for (auto& node : parts_) {
        if (node->file) std::fclose(node->file);
    }
    parts_.clear();
}
