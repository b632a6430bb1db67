#include "analytics/config_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "analytics/sdk/file_path.h"
#include "analytics/sdk/journal_file.h"
#include "support/profile_file.h"
#include "support/text.h"

namespace zorvan::analytics {

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr std::size_t kMaxConfigBytes = 1024 * 1024;

bool StartsWithMark(const std::string& text) { return text.rfind(kUtf8Mark, 0) == 0; }

// The file's text without a UTF-8 byte-order mark (an editor's, which would
// otherwise hide the first section).
std::string ReadAll(const std::string& file) {
  std::string text = zv_transport::ReadSmallFile(file, kMaxConfigBytes).value_or(std::string());
  if (StartsWithMark(text)) text.erase(0, 3);
  return text;
}

// A value or key is one line of the file, whatever it holds.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

// Cuts to at most `bytes` without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// The form a value is written in, so that reading gives it back: a line
// feed would end the line (a server's text with one would start keys or
// sections of its own), so it becomes a blank; a value with blanks or quotes
// at its ends goes in quotes, which reading removes again.
std::string StoredValue(std::string value) {
  for (char& c : value)
    if (c == '\n') c = ' ';
  if (value.empty()) return value;
  const auto edge = [](char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A' || c == '"' || c == '\'';
  };
  if (edge(value.front()) || edge(value.back())) return '"' + value + '"';
  return value;
}

}  // namespace

bool FileExistsUtf8(const std::string& file) {
  std::error_code error;
  return std::filesystem::is_regular_file(zv_transport::FilePath(file), error);
}

std::string ReadConfigValue(const std::string& file, const std::string& section,
                            const std::string& key) {
  std::string text = ReadAll(file);
  if (text.empty()) return std::string();
  // The text is converted as a C string, which a zero byte would end: the
  // keys written behind it (a save appends to the section) would never be
  // read again, and every run would make a new identity.
  std::replace(text.begin(), text.end(), '\0', ' ');
  const auto value = Utils::FindProfileValue(Utils::ToWide(text, Utils::kCodePageUtf8),
                                             Utils::ToWide(section, Utils::kCodePageUtf8),
                                             Utils::ToWide(key, Utils::kCodePageUtf8));
  if (!value) return std::string();
  return CutUtf8(Utils::ToNarrow(Utils::CleanProfileValue(*value), Utils::kCodePageUtf8),
                 kConfigValueBytes);
}

std::string SetConfigValueInText(const std::string& text, const std::string& section,
                                 const std::string& key, const std::string& value) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  const std::string entry = OneLine(key) + "=" + StoredValue(value);
  bool inSection = false;
  std::size_t sectionEnd = lines.size();
  bool found = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string trimmed = Trim(lines[i]);
    // Sections as the reader sees them: a "[" line with its last "]".
    const std::size_t close = trimmed.rfind(']');
    if (!trimmed.empty() && trimmed.front() == '[' && close != std::string::npos) {
      if (inSection) {
        sectionEnd = i;
        break;
      }
      inSection = SameName(Trim(trimmed.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = trimmed.find('=');
    if (equals != std::string::npos && SameName(Trim(trimmed.substr(0, equals)), key)) {
      lines[i] = entry;
      found = true;
      break;
    }
  }
  if (!found) {
    if (inSection) {
      // Behind the section's last non-empty line.
      std::size_t at = sectionEnd;
      while (at > 0 && Trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    }
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

bool WriteConfigValues(const std::string& file, const std::string& section,
                       const std::vector<std::pair<std::string, std::string>>& values) {
  if (file.empty()) return false;
  const std::string old = zv_transport::ReadSmallFile(file, kMaxConfigBytes).value_or(std::string());
  const bool marked = StartsWithMark(old);
  std::string text = marked ? old.substr(3) : old;
  for (const auto& [key, value] : values) text = SetConfigValueInText(text, section, key, value);
  if (marked) text.insert(0, kUtf8Mark);
  // A new file renamed over the old: a kill or a power cut leaves one of the
  // two whole, never an empty identity.
  return zv_transport::ReplaceFileDurably(file, text);
}

}  // namespace zorvan::analytics
