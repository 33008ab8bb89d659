#pragma once
// Downloads one address into one file with the system's own HTTP stack (libsoup, honouring
// the desktop's proxy settings); file:/// addresses are copied by GIO. The counterpart of the
// system's URL download. Run blocks on the calling thread; Cancel may come from any thread.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Expected.h"

struct _GCancellable;
struct _SoupSession;

namespace platform {

struct HttpDownloadError {
    // The HTTP status when the server answered with one that is not a success; otherwise
    // one of the negative codes below.
    int code = 0;
    std::string message;

    static constexpr int kBadAddress = -1;
    static constexpr int kTransfer = -2;    // connection, TLS or protocol failure
    static constexpr int kWriteFile = -3;   // the target file could not be written
    static constexpr int kCancelled = -4;
};

class HttpFileDownload {
public:
    // (bytes received, bytes expected or 0 when unknown); false aborts the download.
    using Progress = std::function<bool(uint64_t received, uint64_t total)>;

    HttpFileDownload();
    ~HttpFileDownload();
    HttpFileDownload(const HttpFileDownload&) = delete;
    HttpFileDownload& operator=(const HttpFileDownload&) = delete;

    // `address` is an encoded URI, `path` a local path in the locale's charset. The target
    // file is created or truncated; what a failed download leaves of it stays.
    Status<HttpDownloadError> Run(const std::string& address, const std::string& path, const Progress& progress);
    // Ends a running Run with kCancelled, and every later one at once.
    void Cancel();

private:
    _GCancellable* cancellable_;
    _SoupSession* session_;
};

}  // namespace platform
