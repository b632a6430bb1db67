#include "batch_decoding.h"

#include <json/json.h>
#include <zlib.h>

#include <memory>
#include <set>

namespace Collector {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsKey(const std::string& text) {
  if (text.empty() || text.size() > 100) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (!(letter || c == '$' || c == '_' || (i > 0 && digit))) return false;
  }
  return true;
}

bool ParseJson(const std::string& text, Json::Value& root, std::string& error) {
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  return reader->parse(text.data(), text.data() + text.size(), &root, &error);
}

}  // namespace

std::optional<std::string> UrlDecode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      return std::nullopt;
    }
  }
  return out;
}

std::optional<std::string> Base64Decode(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + static_cast<std::size_t>(k)];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return std::nullopt;
      v[k] = value(c);
      if (v[k] < 0) return std::nullopt;
    }
    const unsigned triple = static_cast<unsigned>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
    out += static_cast<char>((triple >> 16) & 0xFF);
    if (padding < 2) out += static_cast<char>((triple >> 8) & 0xFF);
    if (padding < 1) out += static_cast<char>(triple & 0xFF);
  }
  return out;
}

std::optional<std::string> Gunzip(const std::string& bytes) {
  z_stream stream{};
  if (inflateInit2(&stream, 31) != Z_OK) return std::nullopt;  // gzip wrapper only
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  std::string out;
  char chunk[32768];
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) {
      inflateEnd(&stream);
      return std::nullopt;
    }
    out.append(chunk, sizeof chunk - stream.avail_out);
    if (out.size() > 64 * 1024 * 1024) {
      inflateEnd(&stream);
      return std::nullopt;
    }
  }
  const bool trailing = stream.avail_in != 0;
  inflateEnd(&stream);
  if (trailing) return std::nullopt;
  return out;
}

std::string CheckRecordShape(const std::string& recordText) {
  Json::Value record;
  std::string error;
  if (!ParseJson(recordText, record, error)) return "record is not JSON: " + error;
  if (!record.isObject()) return "record is not an object";
  static const std::set<std::string> kTypes = {"track", "track_signup", "profile_set",
                                               "profile_set_once", "profile_increment",
                                               "profile_append"};
  static const std::set<std::string> kMembers = {"_track_id", "distinct_id", "event", "lib",
                                                 "original_id", "project", "properties",
                                                 "time", "type"};
  for (const std::string& name : record.getMemberNames()) {
    if (kMembers.count(name) == 0) return "unexpected member \"" + name + "\"";
  }
  const Json::Value& type = record["type"];
  if (!type.isString() || kTypes.count(type.asString()) == 0) return "bad \"type\"";
  if (!record["time"].isIntegral() || record["time"].asInt64() <= 0) return "bad \"time\"";
  if (!record["_track_id"].isIntegral()) return "bad \"_track_id\"";
  const Json::Value& distinct = record["distinct_id"];
  if (!distinct.isString() || distinct.asString().empty() || distinct.asString().size() > 255) {
    return "bad \"distinct_id\"";
  }
  const Json::Value& properties = record["properties"];
  if (!properties.isObject()) return "bad \"properties\"";
  for (const std::string& key : properties.getMemberNames()) {
    if (!IsKey(key)) return "bad property key \"" + key + "\"";
  }
  const Json::Value& lib = record["lib"];
  if (!lib.isObject() || !lib["$lib"].isString() || !lib["$lib_version"].isString() ||
      !lib["$lib_method"].isString() || lib.size() != 3) {
    return "bad \"lib\"";
  }
  const std::string kind = type.asString();
  const bool tracked = kind == "track" || kind == "track_signup";
  if (tracked != record.isMember("event")) return "\"event\" does not fit the type";
  if (tracked && (!record["event"].isString() || !IsKey(record["event"].asString()))) {
    return "bad \"event\"";
  }
  if ((kind == "track_signup") != record.isMember("original_id")) {
    return "\"original_id\" does not fit the type";
  }
  if (record.isMember("project") && !record["project"].isString()) return "bad \"project\"";
  return std::string();
}

DecodedBatch DecodeBatch(const std::string& formBody) {
  DecodedBatch batch;
  static const std::string kPrefix = "data_list=";
  static const std::string kSuffix = "&gzip=1";
  if (formBody.size() < kPrefix.size() + kSuffix.size() || formBody.rfind(kPrefix, 0) != 0 ||
      formBody.compare(formBody.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    batch.error = "the body is not \"data_list=...&gzip=1\"";
    return batch;
  }
  const auto base64 =
      UrlDecode(formBody.substr(kPrefix.size(), formBody.size() - kPrefix.size() - kSuffix.size()));
  if (!base64) {
    batch.error = "data_list is not URL-encoded";
    return batch;
  }
  const auto compressed = Base64Decode(*base64);
  if (!compressed) {
    batch.error = "data_list is not Base64";
    return batch;
  }
  const auto text = Gunzip(*compressed);
  if (!text) {
    batch.error = "data_list is not gzip";
    return batch;
  }
  Json::Value root;
  std::string error;
  if (!ParseJson(*text, root, error)) {
    batch.error = "the batch is not JSON: " + error;
    return batch;
  }
  if (!root.isArray() || root.empty() || root.size() > 30) {
    batch.error = "the batch is not an array of 1 to 30 records";
    return batch;
  }
  for (const Json::Value& record : root) {
    const auto start = static_cast<std::size_t>(record.getOffsetStart());
    const auto limit = static_cast<std::size_t>(record.getOffsetLimit());
    std::string recordText = text->substr(start, limit - start);
    const std::string problem = CheckRecordShape(recordText);
    if (!problem.empty()) {
      batch.error = problem;
      batch.records.clear();
      return batch;
    }
    batch.records.push_back(std::move(recordText));
  }
  return batch;
}

}  // namespace Collector
