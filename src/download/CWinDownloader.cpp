#include "src/download/CWinDownloader.h"

#include "platform/Text.h"
#include "src/core/DebugLog.h"

namespace {

constexpr int kAttempts = 3;
constexpr std::chrono::milliseconds kRetryPause{1000};
constexpr wchar_t kSystemDownload[] = L"URLDownloadToFile";

}  // namespace

bool CWinDownloader::CBindCallback::OnProgress(uint64_t progress, uint64_t maximum) const {
    if (abort) return false;
    if (maximum == 0) return true;
    progressStatus(DL_CODE_PROGRESS,
                   static_cast<double>(static_cast<uint32_t>(progress)) / static_cast<double>(static_cast<uint32_t>(maximum)),
                   L"");
    return true;
}

CWinDownloader::CWinDownloader(DownloadStatusCallback status, std::wstring url, std::wstring path,
                               Download::DownloadTimings timings)
    : status_(std::move(status)), path_(std::move(path)), url_(std::move(url)), timings_(std::move(timings)) {}

CWinDownloader::~CWinDownloader() {
    bindCallback_.abort = true;
    download_.Cancel();
    workers_.Stop();
}

int CWinDownloader::Start() {
    workers_.Retire();
    bindCallback_.progressStatus = status_;
    return workers_.Launch(L"ABDEF", [this] { DownloadRoutine(); }) ? 0 : -1;
}

std::wstring CWinDownloader::EncodeUrl(const std::wstring& url) {
    if (url.starts_with(L"file:///")) return url;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : platform::WideToUtf8(url)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 33 && byte <= 126) {
            encoded += c;
        } else if (byte == 32) {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return platform::Utf8ToWide(encoded);
}

void CWinDownloader::DownloadRoutine() {
    status_(DL_CODE_START, 1.0, L"");
    const std::string address = platform::WideToUtf8(EncodeUrl(url_));
    const std::string path = platform::WideToAnsi(path_);
    const auto progress = [this](uint64_t received, uint64_t total) {
        return bindCallback_.OnProgress(received, total);
    };
    int lastError = 0;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const auto result = download_.Run(address, path, progress);
        if (result.ok()) {
            status_(DL_CODE_SUCCESS, 0.0, kSystemDownload);
            return;
        }
        lastError = result.error().code;
        DebugLog(L"URLDownloadToFile failed: %d %s\r\n", lastError, platform::Utf8ToWide(result.error().message));
        if (bindCallback_.abort) return;  // the owner is going away
        timings_.sleep(kRetryPause);
    }
    status_(DL_CODE_FAIL, lastError, kSystemDownload);
}
