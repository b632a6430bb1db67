#include "analytics/sdk/batch_encoding.h"

#include <zlib.h>

#include <iostream>

namespace zv_transport {

std::optional<std::string> GzipCompress(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    std::cerr << "deflateInit2 failed while compressing." << std::endl;
    return std::nullopt;
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  std::string out;
  char chunk[32768];
  int result = Z_OK;
  do {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    result = deflate(&stream, Z_FINISH);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      std::cerr << "Exception during zlib compression: (" << result << ") "
                << (stream.msg != nullptr ? stream.msg : "") << std::endl;
      deflateEnd(&stream);
      return std::nullopt;
    }
    out.append(chunk, sizeof chunk - stream.avail_out);
  } while (result != Z_STREAM_END);
  deflateEnd(&stream);
  return out;
}

std::string Base64Encode(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned triple = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
    out += kAlphabet[(triple >> 18) & 63];
    out += kAlphabet[(triple >> 12) & 63];
    out += kAlphabet[(triple >> 6) & 63];
    out += kAlphabet[triple & 63];
  }
  if (i + 1 == bytes.size()) {
    const unsigned triple = byte(i) << 16;
    out += kAlphabet[(triple >> 18) & 63];
    out += kAlphabet[(triple >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const unsigned triple = (byte(i) << 16) | (byte(i + 1) << 8);
    out += kAlphabet[(triple >> 18) & 63];
    out += kAlphabet[(triple >> 12) & 63];
    out += kAlphabet[(triple >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string UrlEncodeComponent(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~';
    if (keep) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::optional<std::string> EncodeBatchBody(const std::string& batchText) {
  const auto compressed = GzipCompress(batchText);
  if (!compressed) return std::nullopt;
  return "data_list=" + UrlEncodeComponent(Base64Encode(*compressed)) + "&gzip=1";
}

}  // namespace zv_transport
