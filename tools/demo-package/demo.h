// The demo package's shared pieces: its switches, its protocol output and the
// few system services its three parts use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace Demo {

// Arguments as UTF-8 text, the program first.
using Arguments = std::vector<std::string>;

// Behaviour switches: "name" or "name=value" items separated by commas, from
// "-demo=<items>" arguments and from the environment variable named (items
// of the argument win).
using Switches = std::map<std::string, std::string>;
Switches ReadSwitches(const Arguments& arguments, const char* environmentVariable);
int SwitchNumber(const Switches& switches, const std::string& name, int fallback);

// The value of the first argument "<prefix><value>", or empty.
std::string ArgumentValue(const Arguments& arguments, const std::string& prefix);

// Writes protocol lines to standard output, each flushed at once.
class ProtocolOutput {
 public:
  explicit ProtocolOutput(const Switches& switches);
  // One line; "\n" is added unless `lineEnd` is false. In split mode the line
  // goes out in two writes with a pause between them.
  void Line(const std::string& text, bool lineEnd = true);
  // Bytes exactly as given (for lines in another encoding).
  void Raw(const std::string& bytes);
  bool silent() const { return silent_; }

 private:
  void Write(const std::string& bytes);
  bool silent_ = false;
  bool split_ = false;
  bool crlf_ = false;
};

void Pause(int milliseconds);
// Ends the process at once, as a crash would: no clean-up, no final line.
[[noreturn]] void Crash();
// Starts a copy of this program that keeps this one's standard output open
// for `milliseconds` after this one has ended, as a helper a real setup
// leaves behind would. The copy keeps the file `marker` while it runs.
bool StartLingeringCopy(int milliseconds, const std::filesystem::path& marker);

std::filesystem::path PathFromUtf8(const std::string& text);
std::string Utf8FromPath(const std::filesystem::path& path);
std::filesystem::path OwnExecutable();
// The raw command line after the first " _?=" (Windows keeps it whole;
// Linux joins the split arguments again with single blanks).
std::string UninstallFolderArgument(const Arguments& arguments);
Arguments ProcessArguments(int argc, void* argv);

// The product's data file carried inside this program.
std::span<const unsigned char> Payload();

int RunSetup(const Arguments& arguments);
int RunUninstall(const Arguments& arguments);
int RunProduct(const Arguments& arguments);

}  // namespace Demo
