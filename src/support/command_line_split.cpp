#include "support/command_line_split.h"

#include <cstddef>
#include <utility>

namespace Utils {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// One argument after the program name, starting at a non-blank character.
// Backslashes are literal unless a quote follows them: then 2n backslashes
// give n and the quote groups, 2n+1 give n and a literal quote. A run of
// quotes counts together with the quote that opened the current group: every
// third one is a literal quote and an even count closes the group. This is
// what makes "" inside quotes a literal quote that also ends the group.
std::wstring ReadArgument(const std::wstring& text, std::size_t& at) {
  std::wstring argument;
  std::size_t backslashes = 0;
  int quotes = 0;  // 1 while inside a quoted group
  while (at < text.size()) {
    const wchar_t c = text[at];
    if (IsBlank(c) && quotes == 0) break;
    if (c == L'\\') {
      argument += c;
      ++backslashes;
      ++at;
      continue;
    }
    if (c != L'"') {
      argument += c;
      backslashes = 0;
      ++at;
      continue;
    }
    if (backslashes % 2 == 0) {
      argument.resize(argument.size() - backslashes / 2);
      ++quotes;
    } else {
      argument.resize(argument.size() - backslashes / 2 - 1);
      argument += L'"';
    }
    backslashes = 0;
    ++at;
    while (at < text.size() && text[at] == L'"') {
      if (++quotes == 3) {
        argument += L'"';
        quotes = 0;
      }
      ++at;
    }
    if (quotes == 2) quotes = 0;
  }
  return argument;
}

}  // namespace

std::vector<std::wstring> SplitWindowsCommandLine(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  if (commandLine.empty()) return arguments;

  // The program name: a leading quote runs to the next quote whatever
  // follows it; otherwise the name runs to the first blank. Backslashes and
  // quotes in between are plain characters, so "C:\dir\" stays a folder.
  std::size_t at = 0;
  std::wstring program;
  if (commandLine[0] == L'"') {
    at = 1;
    while (at < commandLine.size() && commandLine[at] != L'"') program += commandLine[at++];
    if (at < commandLine.size()) ++at;
  } else {
    while (at < commandLine.size() && !IsBlank(commandLine[at])) program += commandLine[at++];
  }
  arguments.push_back(std::move(program));

  // Anything after the name, even without a blank in between, starts the
  // next argument. An argument made only of quotes is kept as an empty one.
  while (true) {
    while (at < commandLine.size() && IsBlank(commandLine[at])) ++at;
    if (at >= commandLine.size()) break;
    arguments.push_back(ReadArgument(commandLine, at));
  }
  return arguments;
}

}  // namespace Utils
