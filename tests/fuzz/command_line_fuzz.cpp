// The process's command line: split by the Windows rules, then applied as
// the last layer of the settings record.
#include "fuzz/fuzz_targets.h"

#include "app/command_line.h"
#include "support/command_line_split.h"
#include "support/text.h"

namespace Fuzz {

namespace {

// The usual quoting of one argument: any argument comes back whole from the
// splitter when written this way.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

std::string CheckCommandLine(const std::uint8_t* data, std::size_t size) {
  const std::wstring commandLine =
      Utils::ToWide(std::string(reinterpret_cast<const char*>(data), size), Utils::kCodePageUtf8);
  const std::vector<std::wstring> arguments = Utils::SplitWindowsCommandLine(commandLine);
  if (commandLine.empty() != arguments.empty()) return "only an empty command line has no program";

  if (!arguments.empty()) {
    // The program name has no quoting of its own: quotes around it, unless
    // it holds one (it then began unquoted, so it has no blank either).
    const std::wstring& program = arguments.front();
    std::wstring again = program.find(L'"') == std::wstring::npos ? L"\"" + program + L"\"" : program;
    for (std::size_t i = 1; i < arguments.size(); ++i) again += L" " + Quoted(arguments[i]);
    if (Utils::SplitWindowsCommandLine(again) != arguments)
      return "the arguments written back with the usual quoting split differently";
  }

  Installer::InstallerSettings settings;
  Installer::applyCommandLine(settings, std::vector<std::wstring>(arguments.begin() + (arguments.empty() ? 0 : 1),
                                                                  arguments.end()));
  if (!(settings.downloadScale >= 0.0 && settings.downloadScale <= 1.0))
    return "the download scale left 0..1";
  return {};
}

}  // namespace Fuzz
