#pragma once
// Owning handles for libcurl's easy handles and header lists.
#include <curl/curl.h>

#include <memory>

namespace Download {

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyCleanup>;

struct HeaderListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListFree>;

// Discards a response body (the header requests' write callback).
inline size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

// Bytes libcurl hands to the write callback at most: fewer, larger writes to the part file.
inline constexpr long kReceiveBufferSize = 512 * 1024;

// Redirects followed per request: enough for any service, and a redirect loop ends.
inline constexpr long kMaxRedirects = 30;

}  // namespace Download
