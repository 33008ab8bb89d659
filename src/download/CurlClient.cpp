#include "src/download/CurlClient.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <vector>

#include "platform/SystemError.h"
#include "platform/Text.h"
#include "src/core/DebugLog.h"
#include "src/download/DownloadTaskEvent.h"

namespace {

constexpr wchar_t kFailureEvent[] = L"下载失败原因";

std::wstring CurlText(int code) { return platform::AnsiToWide(curl_easy_strerror(static_cast<CURLcode>(code))); }

std::wstring LengthStatusReason(long responseCode) {
    wchar_t reason[64];
    std::swprintf(reason, 64, L"1.获取文件大小的状态码为=%ld；", responseCode);
    return reason;
}

}  // namespace

CurlClient::CurlClient(std::wstring url, std::wstring path, Download::DownloadTimings timings)
    : url_(std::move(url)), path_(std::move(path)), timings_(std::move(timings)) {}

CurlClient::~CurlClient() {
    stopRequested_ = true;
    std::remove(platform::WideToAnsi(GetPartPath(true)).c_str());
}

void CurlClient::ApplyCommonOptions(CURL* handle) const {
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timings_.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
}

int CurlClient::Start() {
    DebugLog(L"start download\r\n");
    const std::string partPath = platform::WideToAnsi(GetPartPath(true));
    const std::string targetPath = platform::WideToAnsi(path_);
    const std::string requestAddress =
        url_.starts_with(L"file:///") ? platform::WideToAnsi(url_) : platform::WideToUtf8(url_);

    streamedMd5_.clear();
    int result = Resolve(requestAddress) ? TransferToPartFile(partPath) : kNoUsableLength;
    DebugLog(L"error:%d:%s\r\n", result, CurlText(result));
    if (result == 0) result = MoveIntoPlace(partPath, targetPath);
    if (result == 0) streamedMd5_ = FinishMd5(targetPath);
    md5_.reset();
    DebugLog(L"end download\r\n");
    return result;
}

bool CurlClient::Resolve(const std::string& requestAddress) {
    if (realUrl_.empty() || fileLength_ < kMinimumLength) {
        if (Download::EasyHandle head = Head(requestAddress)) {
            realUrl_ = GetEffectiveUrl(head.get());
            fileLength_ = GetDownloadFileLength(head.get());
        }
    }
    if (realUrl_.empty() || fileLength_ < kMinimumLength) {
        realUrl_ = GetRealUrl_Str(requestAddress);
        if (!realUrl_.empty()) fileLength_ = GetDownloadFileLength_Str(realUrl_);
    }
    return !realUrl_.empty() && fileLength_ >= kMinimumLength;
}

int CurlClient::TransferToPartFile(const std::string& partPath) {
    Download::EasyHandle transfer(curl_easy_init());
    if (!transfer) return kNoHandle;
    FILE* partFile = std::fopen(partPath.c_str(), "ab+");
    if (!partFile) {
        errorText_ = platform::Utf8ToWide(platform::SystemError::FromErrno().Message().substr(0, 200));
        return kPartFileFailed;
    }
    int result = Transfer(transfer.get(), partFile, partPath);
    transfer.reset();
    // What stdio still held must reach the disk too, or the file is short.
    if (std::fclose(partFile) != 0 && result == 0) result = CURLE_WRITE_ERROR;
    return result;
}

int CurlClient::Transfer(CURL* transfer, FILE* partFile, const std::string& partPath) {
    Download::HeaderList headers(curl_slist_append(nullptr, "Connection: keep-alive"));
    curl_slist_append(headers.get(), "Accept-Encoding: gzip, deflate");
    std::error_code error;
    const auto partSize = std::filesystem::file_size(partPath, error);
    resumeFrom_ = error ? 0 : static_cast<int64_t>(partSize);

    curl_easy_setopt(transfer, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(transfer, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(transfer, CURLOPT_TCP_KEEPIDLE, 10L);
    curl_easy_setopt(transfer, CURLOPT_TCP_KEEPINTVL, 10L);
    curl_easy_setopt(transfer, CURLOPT_TIMEOUT, 0L);
    int options = curl_easy_setopt(transfer, CURLOPT_URL, realUrl_.c_str());
    options |= curl_easy_setopt(transfer, CURLOPT_FOLLOWLOCATION, 1L);
    options |= curl_easy_setopt(transfer, CURLOPT_MAXREDIRS, Download::kMaxRedirects);
    options |= curl_easy_setopt(transfer, CURLOPT_WRITEFUNCTION, &CurlClient::WriteToPartFile);
    options |= curl_easy_setopt(transfer, CURLOPT_WRITEDATA, this);
    options |= curl_easy_setopt(transfer, CURLOPT_NOPROGRESS, 0L);
    options |= curl_easy_setopt(transfer, CURLOPT_XFERINFOFUNCTION, &CurlClient::ProgressCallback);
    options |= curl_easy_setopt(transfer, CURLOPT_XFERINFODATA, this);
    options |= curl_easy_setopt(transfer, CURLOPT_FAILONERROR, 1L);
    options |= curl_easy_setopt(transfer, CURLOPT_BUFFERSIZE, Download::kReceiveBufferSize);
    options |= curl_easy_setopt(transfer, CURLOPT_CONNECTTIMEOUT, static_cast<long>(timings_.connectTimeout.count()));
    // Without a floor on the speed, a server that stops sending would hold the download forever.
    options |= curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_LIMIT, timings_.lowSpeedLimit);
    options |= curl_easy_setopt(transfer, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timings_.lowSpeedTime.count()));
    if (resumeFrom_ > 0) {
        options |= curl_easy_setopt(transfer, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(resumeFrom_));
    }
    if (options != 0) return options;

    md5_ = StartMd5(partPath);
    partFile_ = partFile;
    transfer_ = transfer;
    const int result = curl_easy_perform(transfer);
    transfer_ = nullptr;
    partFile_ = nullptr;
    return result;
}

std::unique_ptr<Download::StreamMd5> CurlClient::StartMd5(const std::string& partPath) const {
    if (!md5Wanted_ || !md5Wanted_(realUrl_)) return nullptr;
    auto md5 = std::make_unique<Download::StreamMd5>();
    if (resumeFrom_ <= 0) return md5;
    FILE* part = std::fopen(partPath.c_str(), "rbe");
    if (!part) return nullptr;
    std::vector<char> block(Download::kReceiveBufferSize);
    int64_t left = resumeFrom_;
    size_t n;
    while (left > 0 && (n = std::fread(block.data(), 1, std::min<int64_t>(left, block.size()), part)) > 0) {
        md5->Add(block.data(), n);
        left -= static_cast<int64_t>(n);
    }
    std::fclose(part);
    return left == 0 ? std::move(md5) : nullptr;
}

std::string CurlClient::FinishMd5(const std::string& path) {
    // A file of another size than what was hashed was cut short or replaced meanwhile; after
    // a stop nothing is taken for granted.
    if (!md5_ || stopRequested_) return {};
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || static_cast<int64_t>(size) != md5_->size()) return {};
    return md5_->Finish();
}

size_t CurlClient::WriteToPartFile(char* data, size_t size, size_t count, void* client) {
    auto& self = *static_cast<CurlClient*>(client);
    const size_t written = std::fwrite(data, size, count, self.partFile_);
    if (self.md5_) {
        if (written == count) {
            self.md5_->Add(data, size * count);
        } else {
            self.md5_.reset();  // what reached the file is unknown
        }
    }
    return written;
}

int CurlClient::MoveIntoPlace(const std::string& partPath, const std::string& targetPath) {
    std::remove(targetPath.c_str());
    if (std::rename(partPath.c_str(), targetPath.c_str()) == 0) return 0;
    errorText_ = platform::Utf8ToWide(platform::SystemError::FromErrno().Message());
    DebugLog(L"error:%d:%s\r\n", kMoveFailed, errorText_);
    return kMoveFailed;
}

int CurlClient::ProgressCallback(void* owner, curl_off_t totalToDownload, curl_off_t downloadedNow, curl_off_t,
                                 curl_off_t) {
    auto& self = *static_cast<CurlClient*>(owner);
    if (self.stopRequested_) return 1;
    const int64_t now = self.timings_.nowSeconds();
    if (now - self.lastProgressSecond_ < 1) return 0;
    self.lastProgressSecond_ = now;

    curl_off_t bytesPerSecond = 0;
    if (!self.transfer_ || curl_easy_getinfo(self.transfer_, CURLINFO_SPEED_DOWNLOAD_T, &bytesPerSecond) != CURLE_OK) {
        bytesPerSecond = 0;
    }
    const double speed = static_cast<double>(bytesPerSecond);
    double percent = 0.0;
    if (self.fileLength_ > kMinimumLength) {
        percent = static_cast<double>(downloadedNow + self.resumeFrom_) / self.fileLength_ * 100.0;
    } else if (downloadedNow <= 0 || totalToDownload <= 0) {
        return 0;
    } else {
        percent = static_cast<double>(downloadedNow) * 100.0 / static_cast<double>(totalToDownload);
    }
    if (percent != 0.0 && self.progress_) self.progress_(speed, 0.0, percent);
    if (totalToDownload != 0) {
        DebugLog(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(downloadedNow / 1048576),
                 static_cast<int>(totalToDownload / 1048576), static_cast<double>(static_cast<float>(percent)),
                 static_cast<double>(static_cast<float>(speed / 1024)));
    }
    return 0;
}

Download::EasyHandle CurlClient::Head(const std::string& address) {
    Download::EasyHandle handle(curl_easy_init());
    if (!handle) return handle;
    int result = curl_easy_setopt(handle.get(), CURLOPT_URL, address.c_str());
    result |= curl_easy_setopt(handle.get(), CURLOPT_FOLLOWLOCATION, 1L);
    result |= curl_easy_setopt(handle.get(), CURLOPT_NOBODY, 1L);
    result |= curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &Download::DiscardBody);
    ApplyCommonOptions(handle.get());
    if (result == 0) {
        result = curl_easy_perform(handle.get());
        if (result != 0) DebugLog(L"error:%d:%s\r\n", result, CurlText(result));
    }
    DebugLog(L"error:%d:%s\r\n", result, CurlText(result));
    return handle;
}

std::string CurlClient::GetEffectiveUrl(CURL* handle) {
    char* address = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &address) != CURLE_OK || !address) return {};
    return address;
}

double CurlClient::GetDownloadFileLength(CURL* handle) {
    double length = -1.0;
    curl_off_t contentLength = -1;
    const CURLcode read = curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength);
    if (read == CURLE_OK) length = static_cast<double>(contentLength);
    DebugLog(L"error:%d:%s\r\n", static_cast<int>(read), CurlText(read));
    long responseCode = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &responseCode) == CURLE_OK && responseCode >= 200 &&
        responseCode <= 399) {
        return length;
    }
    Download::ReportTaskEvent(kFailureEvent, LengthStatusReason(responseCode), 0.0f, {});
    return -1.0;
}

double CurlClient::GetDownloadFileLength_Str(const std::string& address) {
    double length = -1.0;
    Download::EasyHandle handle(curl_easy_init());
    if (!handle) return length;
    int result = curl_easy_setopt(handle.get(), CURLOPT_URL, address.c_str());
    result |= curl_easy_setopt(handle.get(), CURLOPT_HEADER, 1L);
    result |= curl_easy_setopt(handle.get(), CURLOPT_NOBODY, 1L);
    result |= curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &Download::DiscardBody);
    ApplyCommonOptions(handle.get());
    if (result == 0) {
        result = curl_easy_perform(handle.get());
        curl_off_t contentLength = -1;
        if (curl_easy_getinfo(handle.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &contentLength) == CURLE_OK) {
            length = static_cast<double>(contentLength);
        }
        long responseCode = 0;
        curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &responseCode);
        if (result != 0 || responseCode < 200 || responseCode > 400) {
            Download::ReportTaskEvent(kFailureEvent, LengthStatusReason(responseCode), 0.0f, {{L"AB", L"IN"}});
        }
    }
    DebugLog(L"error:%d:%s\r\n", result, CurlText(result));
    return length;
}

std::string CurlClient::GetRealUrl_Str(const std::string& address) {
    std::string finalAddress;
    if (Download::EasyHandle handle{curl_easy_init()}) {
        curl_easy_setopt(handle.get(), CURLOPT_URL, address.c_str());
        curl_easy_setopt(handle.get(), CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &Download::DiscardBody);
        ApplyCommonOptions(handle.get());
        const CURLcode result = curl_easy_perform(handle.get());
        if (result != CURLE_OK) {
            DebugLog(L"error:%d:%s\r\n", static_cast<int>(result), CurlText(result));
        } else {
            finalAddress = GetEffectiveUrl(handle.get());
        }
    }
    return finalAddress.empty() ? address : finalAddress;
}
