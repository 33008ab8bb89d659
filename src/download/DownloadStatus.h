#pragma once
// The status codes every downloader reports, and the callback that receives them. The
// callback is called on the downloader's own threads, never on the caller's.
#include <cstdint>
#include <functional>
#include <string>

enum DownloadStatusCode : int32_t {
    DL_CODE_START = 1001,     // value 1.0: a run begins
    DL_CODE_PROGRESS = 1002,  // value: fraction done, 0.0 to 1.0
    DL_CODE_SUCCESS = 1003,   // the file is complete at the target path
    DL_CODE_FAIL = 1004,      // value: the last error code; the download has failed for good
    DL_CODE_RETRY = 1005,     // value: the last error code; the owner calls Start again
    DL_CODE_MESSAGE = 1006,   // text: a note on the MD5 check; a final code follows
};

// (code, value, text). The same callable type as the install pipeline's status callback.
using DownloadStatusCallback = std::function<void(int32_t code, double value, const std::wstring& text)>;
