#include "platform/soup/HttpFileDownload.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace platform {
namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

Unexpected<HttpDownloadError> Failure(int code, std::string message) {
    return MakeUnexpected(HttpDownloadError{code, std::move(message)});
}

Unexpected<HttpDownloadError> FromGError(const GError* error) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    return Failure(cancelled ? HttpDownloadError::kCancelled : HttpDownloadError::kTransfer,
                   error ? error->message : "unknown failure");
}

struct CopyProgress {
    const HttpFileDownload::Progress* progress;
    GCancellable* cancellable;
};

void OnCopyProgress(goffset received, goffset total, gpointer data) {
    auto* copy = static_cast<CopyProgress*>(data);
    if (*copy->progress && !(*copy->progress)(received, total)) g_cancellable_cancel(copy->cancellable);
}

Status<HttpDownloadError> CopyLocalFile(const std::string& address, const std::string& path,
                                        const HttpFileDownload::Progress& progress, GCancellable* cancellable) {
    GObjectPtr<GFile> source(g_file_new_for_uri(address.c_str()));
    GObjectPtr<GFile> target(g_file_new_for_path(path.c_str()));
    CopyProgress data{&progress, cancellable};
    GError* error = nullptr;
    if (!g_file_copy(source.get(), target.get(), G_FILE_COPY_OVERWRITE, cancellable, &OnCopyProgress, &data, &error)) {
        ErrorPtr owned(error);
        return FromGError(error);
    }
    return {};
}

}  // namespace

HttpFileDownload::HttpFileDownload() : cancellable_(g_cancellable_new()), session_(soup_session_new()) {}

HttpFileDownload::~HttpFileDownload() {
    g_object_unref(session_);
    g_object_unref(cancellable_);
}

void HttpFileDownload::Cancel() { g_cancellable_cancel(cancellable_); }

Status<HttpDownloadError> HttpFileDownload::Run(const std::string& address, const std::string& path,
                                                const Progress& progress) {
    if (g_cancellable_is_cancelled(cancellable_)) return Failure(HttpDownloadError::kCancelled, "cancelled");
    if (g_str_has_prefix(address.c_str(), "file:")) return CopyLocalFile(address, path, progress, cancellable_);

    GObjectPtr<SoupMessage> message(soup_message_new("GET", address.c_str()));
    if (!message) return Failure(HttpDownloadError::kBadAddress, "not a valid address: " + address);
    GError* error = nullptr;
    GObjectPtr<GInputStream> body(soup_session_send(session_, message.get(), cancellable_, &error));
    if (!body) {
        ErrorPtr owned(error);
        return FromGError(error);
    }
    const unsigned status = soup_message_get_status(message.get());
    if (!SOUP_STATUS_IS_SUCCESSFUL(status)) {
        g_input_stream_close(body.get(), nullptr, nullptr);
        return Failure(static_cast<int>(status), soup_message_get_reason_phrase(message.get()));
    }
    const goffset length = soup_message_headers_get_content_length(soup_message_get_response_headers(message.get()));
    const uint64_t total = length > 0 ? static_cast<uint64_t>(length) : 0;

    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return Failure(HttpDownloadError::kWriteFile, "cannot create " + path);
    std::vector<char> block(256 * 1024);
    uint64_t received = 0;
    for (;;) {
        const gssize n = g_input_stream_read(body.get(), block.data(), block.size(), cancellable_, &error);
        if (n < 0) {
            ErrorPtr owned(error);
            return FromGError(error);
        }
        if (n == 0) break;
        if (std::fwrite(block.data(), 1, static_cast<size_t>(n), file.get()) != static_cast<size_t>(n)) {
            return Failure(HttpDownloadError::kWriteFile, "cannot write " + path);
        }
        received += static_cast<uint64_t>(n);
        if (progress && !progress(received, total)) return Failure(HttpDownloadError::kCancelled, "aborted");
    }
    if (total != 0 && received != total) return Failure(HttpDownloadError::kTransfer, "the body ended early");
    if (std::fclose(file.release()) != 0) return Failure(HttpDownloadError::kWriteFile, "cannot write " + path);
    return {};
}

}  // namespace platform
