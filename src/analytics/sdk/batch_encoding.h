// The wire form of one batch: gzip, Base64, then URL encoding, wrapped in the
// form body "data_list=<...>&gzip=1".
#pragma once

#include <optional>
#include <string>

namespace zv_transport {

// gzip (level 9, window bits 31, memory level 8); nullopt when zlib fails,
// with its message on the standard error stream.
std::optional<std::string> GzipCompress(const std::string& data);

// Standard alphabet with "=" padding, no line breaks.
std::string Base64Encode(const std::string& bytes);

// Letters, digits and "-._~" stay; every other byte becomes "%XX" (upper case).
std::string UrlEncodeComponent(const std::string& text);

// The request body for a batch text ("[record,record,...]").
std::optional<std::string> EncodeBatchBody(const std::string& batchText);

}  // namespace zv_transport
