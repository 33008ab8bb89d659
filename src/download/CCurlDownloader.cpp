#include "src/download/CCurlDownloader.h"

#include <cstdio>

#include "platform/Text.h"
#include "src/core/DebugLog.h"
#include "src/download/UrlMd5.h"
#include "src/utils/SystemProbes.h"

namespace {

constexpr int kRetryBudget = 12;
constexpr int kPartialFile = 18;  // libcurl's "partial file": costs half of another failure
constexpr std::chrono::milliseconds kRetryPause{500};
constexpr wchar_t kLibCurl[] = L"LibCurl";

}  // namespace

CCurlDownloader::CCurlDownloader(DownloadStatusCallback status, std::wstring url, std::wstring path,
                                 Download::DownloadTimings timings)
    : status_(std::move(status)),
      path_(std::move(path)),
      url_(std::move(url)),
      timings_(std::move(timings)),
      client_(url_, path_, timings_) {
    client_.SetProgressFunction([this](double speed, double, double percent) { RelayProgress(speed, percent); });
    // Only an address that carries an MD5 leads to a check, so only then is the stream hashed.
    client_.SetMd5Wanted([](const std::string& realUrl) { return GetUrlMd5(realUrl).size() == 32; });
    std::remove(platform::WideToAnsi(client_.GetPartPath(true)).c_str());
}

CCurlDownloader::~CCurlDownloader() {
    stopping_ = true;
    client_.RequestStop();
    workers_.Stop();
}

int CCurlDownloader::Start() {
    workers_.Retire();
    return workers_.Launch(L"ABDEF", [this] { dlThreadFun(); }) ? 0 : -1;
}

void CCurlDownloader::RelayProgress(double speed, double percent) {
    if (speed > 0 && percent <= 100) status_(DL_CODE_PROGRESS, percent / 100, L"");
}

void CCurlDownloader::dlThreadFun() {
    status_(DL_CODE_START, 1.0, L"");
    int result = client_.Start();
    int budget = kRetryBudget;
    while (result != 0) {
        if (stopping_) return;
        budget -= result == kPartialFile ? 1 : 2;
        if (budget <= 0) {
            status_(DL_CODE_FAIL, result, kLibCurl);
            return;
        }
        DebugLog(L"CurlDownLoader Code=%d\r\n", result);
        timings_.sleep(kRetryPause);
        result = client_.Start();
    }
    Finish();
}

void CCurlDownloader::Finish() {
    const std::string expected = GetUrlMd5(client_.realUrl());
    if (expected.size() == 32) {
        std::string actual = client_.streamedMd5();
        if (actual.empty()) actual = GetFileMd5(platform::WideToAnsi(path_));
        if (actual.size() == 32 && actual != expected) {
            status_(DL_CODE_MESSAGE, 0.0, L"curl文件md5校验失败");
            if (retried_) {
                status_(DL_CODE_FAIL, 0.0, kLibCurl);
            } else {
                retried_ = true;
                status_(DL_CODE_RETRY, 0.0, kLibCurl);
            }
            return;
        }
    } else {
        status_(DL_CODE_MESSAGE, 0.0, L"curl获取url-md5失败");
    }
    status_(DL_CODE_SUCCESS, 0.0, kLibCurl);
}
