#pragma once
// The transport form of a batch: gzip (zlib, level 9), then base64, then percent-encoding,
// wrapped into the one form field the collection endpoint reads.
#include <optional>
#include <string>
#include <string_view>

namespace telemetry_core {

// gzip stream of `text`; nullopt (with a complaint on standard error) when zlib fails.
std::optional<std::string> GzipCompress(std::string_view text, int level = 9);
// Standard alphabet, last group padded with "=".
std::string Base64Encode(std::string_view bytes);
// Letters, digits, "-", ".", "_" and "~" stay; every other byte becomes "%XX" (upper case).
std::string PercentEncode(std::string_view text);

// "data_list=" + encoded batch + "&gzip=1"; nullopt when compression failed.
std::optional<std::string> EncodeBatchBody(std::string_view batchJson);

}  // namespace telemetry_core
