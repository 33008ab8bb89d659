#include "telemetry/telemetry_core/BatchEncoding.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <vector>

#include "telemetry/telemetry_core/Complaint.h"

namespace telemetry_core {

std::optional<std::string> GzipCompress(std::string_view text, int level) {
    constexpr int kGzipWindowBits = 31;  // 15 bits of window plus the gzip wrapper
    constexpr size_t kChunk = 32768;
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        Complain("deflateInit2 failed while compressing.");
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    std::string out;
    std::vector<char> chunk(kChunk);
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_out = static_cast<uInt>(chunk.size());
        rc = deflate(&stream, Z_FINISH);
        out.append(chunk.data(), chunk.size() - stream.avail_out);
    }
    if (rc != Z_STREAM_END) {
        Complain("Exception during zlib compression: (" + std::to_string(rc) + ") " + (stream.msg ? stream.msg : ""));
        deflateEnd(&stream);
        return std::nullopt;
    }
    deflateEnd(&stream);
    return out;
}

std::string Base64Encode(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string PercentEncode(std::string_view text) {
    // libcurl keeps exactly the unreserved characters and writes upper-case hexadecimal.
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    if (!escaped) return {};
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

std::optional<std::string> EncodeBatchBody(std::string_view batchJson) {
    auto compressed = GzipCompress(batchJson);
    if (!compressed) return std::nullopt;
    return "data_list=" + PercentEncode(Base64Encode(*compressed)) + "&gzip=1";
}

}  // namespace telemetry_core
