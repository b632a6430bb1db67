// The pieces of the console protocol that the package runner and the remover
// share: joining the output's reads into whole lines, and reading the value
// of a key the way the protocol's scan patterns do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Installer {

// Text values of protocol lines are cut to this many characters.
inline constexpr std::size_t kProtocolTextCapacity = 771;

// Reads of a child's output arrive in arbitrary pieces: a line may be split
// across two reads. The assembler keeps the unfinished tail until its line
// feed arrives, so that every line is judged whole.
class LineAssembler {
 public:
  // Appends the bytes of one read up to its first zero byte.
  void Feed(const char* bytes, std::size_t count);
  // Every complete line received so far, without its line feed (a carriage
  // return before it stays), oldest first.
  std::vector<std::string> TakeLines();
  // The unfinished tail (a last line without a line feed); empties it.
  std::string TakeRest();

 private:
  std::string pending_;
};

// "%[^\n]": the rest of the line after `keyLength` characters, at most
// kProtocolTextCapacity characters, without the carriage return of a line
// that ended in CR LF (it would end up in paths, records and addresses).
std::wstring ProtocolText(const std::wstring& line, std::size_t keyLength);
// "%lf": the number that starts the rest of the line (white space skipped);
// 0 when none does.
double ProtocolNumber(const std::wstring& line, std::size_t keyLength);
// "%d": the decimal integer that starts the rest of the line; 0 when none
// does, saturated to the 32-bit range.
std::int32_t ProtocolInteger(const std::wstring& line, std::size_t keyLength);
// A "Progress=" value as a fraction: the number clamped to 0..1, NaN as 0, so
// that no later conversion sees a value it cannot hold.
double ProtocolFraction(const std::wstring& line, std::size_t keyLength);

// The code page an "Encode=" value names: "UTF8" is 65001, "ACP" 0, otherwise
// a decimal integer (leading white space and sign allowed, the rest ignored);
// 0 when no integer can be read or it lies outside the 32-bit range. With
// `numbers` false only "UTF8" is known and every other value means 0.
std::int32_t EncodeCodePage(const std::wstring& trimmedValue, bool numbers);

}  // namespace Installer
