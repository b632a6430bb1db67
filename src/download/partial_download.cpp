#include "download/partial_download.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/text.h"

namespace {

constexpr char kEnd[] = "end";  // the last line: a record without it was cut short

std::filesystem::path FsPath(const std::string& ansiPath) {
#ifdef _WIN32
  return std::filesystem::path(Utils::ToWide(ansiPath, Utils::kCodePageAnsi));
#else
  return std::filesystem::path(ansiPath);
#endif
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Header values are printable text; a line break inside one would split the
// record's lines.
bool FitsOnALine(const std::string& value) {
  for (const char c : value)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

const char* const kPartialSuffixes[] = {".part", "_0", "_1"};

}  // namespace

std::string FormatPartialIdentity(const PartialIdentity& identity) {
  std::string text;
  auto line = [&text](const char* key, const std::string& value) {
    text += key;
    text += '=';
    text += FitsOnALine(value) ? value : std::string();
    text += '\n';
  };
  line("digest", identity.digest);
  line("address", identity.address);
  line("etag", identity.etag);
  line("last-modified", identity.lastModified);
  line("length", std::to_string(identity.length));
  line("layout", identity.layout);
  text += kEnd;
  text += '\n';
  return text;
}

bool ParsePartialIdentity(const std::string& text, PartialIdentity& identity) {
  PartialIdentity read;
  bool ended = false;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t stop = text.find('\n', at);
    if (stop == std::string::npos) return false;  // cut short in its last line
    const std::string line = text.substr(at, stop - at);
    at = stop + 1;
    if (line == kEnd) {
      ended = true;
      break;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "digest") {
      read.digest = Lower(value);
    } else if (key == "address") {
      read.address = value;
    } else if (key == "etag") {
      read.etag = value;
    } else if (key == "last-modified") {
      read.lastModified = value;
    } else if (key == "length") {
      char* end = nullptr;
      const long long length = std::strtoll(value.c_str(), &end, 10);
      if (value.empty() || end == nullptr || *end != '\0') return false;
      read.length = length;
    } else if (key == "layout") {
      read.layout = value;
    }
    // Keys of later versions are passed over.
  }
  if (!ended) return false;
  identity = read;
  return true;
}

ResumeVerdict DecideResume(const PartialIdentity& kept, const PartialIdentity& offered) {
  if (kept.layout != offered.layout) return ResumeVerdict::kStartOver;
  if (kept.length >= 0 && offered.length >= 0 && kept.length != offered.length) return ResumeVerdict::kStartOver;
  if (!offered.digest.empty() || !kept.digest.empty())
    return Lower(kept.digest) == Lower(offered.digest) ? ResumeVerdict::kByDigest : ResumeVerdict::kStartOver;
  if (kept.address != offered.address || kept.length < 0) return ResumeVerdict::kStartOver;
  // The strongest validator both sides know decides.
  if (!offered.etag.empty() && !kept.etag.empty())
    return offered.etag == kept.etag ? ResumeVerdict::kByValidator : ResumeVerdict::kStartOver;
  if (!offered.etag.empty() || !kept.etag.empty()) return ResumeVerdict::kStartOver;
  if (!offered.lastModified.empty() && offered.lastModified == kept.lastModified)
    return ResumeVerdict::kByValidator;
  return ResumeVerdict::kStartOver;
}

bool AnswerContradicts(const PartialIdentity& kept, const std::string& answerEtag,
                       const std::string& answerLastModified) {
  if (!kept.etag.empty() && !answerEtag.empty()) return answerEtag != kept.etag;
  if (!kept.lastModified.empty() && !answerLastModified.empty()) return answerLastModified != kept.lastModified;
  return false;
}

std::string ResumeRecordPath(const std::string& target) { return target + ".resume"; }

void DeletePartials(const std::string& target) {
  // The record goes first: partial files without a record are never
  // continued, whereas a record left beside foreign bytes would vouch for them.
  DeleteResumeRecord(target);
  for (const char* suffix : kPartialSuffixes) std::remove((target + suffix).c_str());
}

bool WriteResumeRecord(const std::string& target, const PartialIdentity& identity) {
  const std::string record = ResumeRecordPath(target);
  const std::string fresh = record + ".new";
  const std::string text = FormatPartialIdentity(identity);
  std::FILE* file = std::fopen(fresh.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    std::remove(fresh.c_str());
    return false;
  }
  std::error_code error;
  std::filesystem::rename(FsPath(fresh), FsPath(record), error);
  if (error) {
    // A system that will not rename over a file: without the old record for
    // a moment the partial files are merely not continued.
    std::remove(record.c_str());
    if (std::rename(fresh.c_str(), record.c_str()) != 0) {
      std::remove(fresh.c_str());
      return false;
    }
  }
  return true;
}

bool ReadResumeRecord(const std::string& target, PartialIdentity& identity) {
  std::FILE* file = std::fopen(ResumeRecordPath(target).c_str(), "rb");
  if (!file) return false;
  std::string text;
  char block[1024];
  std::size_t n = 0;
  // A record is a few hundred bytes; anything far larger is not one.
  while ((n = std::fread(block, 1, sizeof block, file)) > 0 && text.size() < 64 * 1024) text.append(block, n);
  std::fclose(file);
  return ParsePartialIdentity(text, identity);
}

void DeleteResumeRecord(const std::string& target) {
  const std::string record = ResumeRecordPath(target);
  std::remove(record.c_str());
  std::remove((record + ".new").c_str());
}

void DropUnresumablePartials(const std::string& target) {
  PartialIdentity kept;
  bool holdsBytes = false;
  std::error_code error;
  for (const char* suffix : kPartialSuffixes) {
    const auto size = std::filesystem::file_size(FsPath(target + suffix), error);
    if (!error && size > 0) holdsBytes = true;
  }
  if (holdsBytes && ReadResumeRecord(target, kept) && kept.CanBeResumed()) return;
  DeletePartials(target);
}

bool DeleteStalePartials(const std::string& target) {
  std::filesystem::file_time_type newest = std::filesystem::file_time_type::min();
  bool any = false;
  std::error_code error;
  for (const std::string& path : {ResumeRecordPath(target), target + kPartialSuffixes[0],
                                  target + kPartialSuffixes[1], target + kPartialSuffixes[2]}) {
    const auto written = std::filesystem::last_write_time(FsPath(path), error);
    if (error) continue;
    any = true;
    if (written > newest) newest = written;
  }
  if (!any) return false;
  const auto age = std::filesystem::file_time_type::clock::now() - newest;
  if (age < std::chrono::seconds(kPartialLifetimeSeconds)) return false;
  DeletePartials(target);
  return true;
}
