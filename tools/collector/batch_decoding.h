// Decoding and checking what an analytics client posts: the form body
// "data_list=<URL-encoded Base64 of gzip of a JSON array>&gzip=1".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Collector {

// Strict: only "%XX" escapes and unreserved bytes; nullopt otherwise.
std::optional<std::string> UrlDecode(const std::string& text);
std::optional<std::string> Base64Decode(const std::string& text);
std::optional<std::string> Gunzip(const std::string& bytes);

struct DecodedBatch {
  std::vector<std::string> records;  // each record's JSON text exactly as sent
  std::string error;                 // empty when the batch is sound
};

// The records of a form body, each checked for the record shape.
DecodedBatch DecodeBatch(const std::string& formBody);

// Empty when `record` has the shape of an analytics record, else why not.
std::string CheckRecordShape(const std::string& recordText);

}  // namespace Collector
