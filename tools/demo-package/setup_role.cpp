// The setup package: installs the demo product into the folder of
// "-instdir=" and tells the installer about it in the console protocol.
#include <fstream>
#include <sstream>
#include <system_error>

#include "demo.h"

namespace Demo {

namespace {

namespace fs = std::filesystem;

// "中文" in the encodings the "encode" switch knows.
std::string ChineseSample(const std::string& encoding) {
  if (encoding == "UTF8") return "\xE4\xB8\xAD\xE6\x96\x87";
  if (encoding == "936") return "\xD6\xD0\xCE\xC4";
  return "??";
}

bool CopyProgram(const fs::path& to) {
  std::error_code error;
  // A copy that is running cannot be rewritten; a new file can take its name.
  fs::remove(to, error);
  return fs::copy_file(OwnExecutable(), to, fs::copy_options::overwrite_existing, error);
}

bool WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int RunSetup(const Arguments& arguments) {
  const Switches switches = ReadSwitches(arguments, "TALVORIN_DEMO_PACKAGE");
  ProtocolOutput out(switches);
  const int slow = SwitchNumber(switches, "slow", 0);
  const int exitCode = SwitchNumber(switches, "exit", 0);

  if (switches.count("encode") != 0) {
    const std::string encoding = switches.at("encode");
    out.Line("Encode=" + encoding);
    out.Raw("Message=" + ChineseSample(encoding) + "\n");
  }
  out.Line("Progress=0.05");

  const std::string folderText = ArgumentValue(arguments, "-instdir=");
  if (folderText.empty()) {
    out.Line("Error=no installation folder (-instdir=)");
    return 1;
  }
  const fs::path folder = PathFromUtf8(folderText);
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder)) {
    out.Line("Error=the folder cannot be created: " + folderText);
    return 1;
  }

  // The data file in ten pieces, one progress line each.
  const std::span<const unsigned char> payload = Payload();
  {
    std::ofstream data(folder / "talvorin.dat", std::ios::binary | std::ios::trunc);
    const std::size_t piece = payload.size() / 10 + 1;
    for (std::size_t offset = 0, step = 1; offset < payload.size(); offset += piece, ++step) {
      const std::size_t count = std::min(piece, payload.size() - offset);
      data.write(reinterpret_cast<const char*>(payload.data() + offset), static_cast<std::streamsize>(count));
      out.Line("Progress=" + std::to_string(0.05 + 0.08 * static_cast<double>(step)).substr(0, 4));
      Pause(slow);
    }
    if (!data) {
      out.Line("Error=the data file cannot be written");
      return 1;
    }
  }
  if (switches.count("crash") != 0) Crash();

  const fs::path product = folder / "talvorin..exe";
  const fs::path uninstaller = folder / "uninst.ep";
  if (!CopyProgram(product) || !CopyProgram(uninstaller)) {
    out.Line("Error=the program files cannot be written");
    return 1;
  }
  const std::string override = switches.count("override") != 0 ? switches.at("override") : "true";
  if (!WriteText(folder / "set.ini", "[Uninstall]\nIsOverride=" + override + "\n")) {
    out.Line("Error=set.ini cannot be written");
    return 1;
  }
  // The product speaks the language it was installed in; a later installer
  // reads it back from here.
  const std::string language = ArgumentValue(arguments, "-inslang=");
  if (!language.empty() && !WriteText(folder / "config.ini", "[Install]\nLanguage=" + language + "\n")) {
    out.Line("Error=config.ini cannot be written");
    return 1;
  }
  // What the installer asked for (shortcuts, language, rights), for anyone
  // checking the choices that reached the package: one argument a line.
  std::string argumentLines;
  for (const std::string& argument : arguments) argumentLines += argument + "\n";
  if (!WriteText(folder / "setup-arguments.txt", argumentLines)) {
    out.Line("Error=setup-arguments.txt cannot be written");
    return 1;
  }

  out.Line("InstallVersion=1.7.9");
  out.Line("InstPath=" + folderText);
  out.Line("ExePath=" + Utf8FromPath(product));
  out.Line("UninstExePath=" + Utf8FromPath(uninstaller));
  out.Line("UninstEp=" + Utf8FromPath(uninstaller));
  out.Line("StartUrl=https://talvorin.invalid/welcome");
  out.Line("StartupStyle=" + (switches.count("style") != 0 ? switches.at("style") : std::string("UserStartup")));
  // Further lines as given, "|" between them.
  if (switches.count("extra") != 0) {
    std::stringstream lines(switches.at("extra"));
    for (std::string line; std::getline(lines, line, '|');) out.Line(line);
  }
  out.Line("Progress=1");
  const bool finalLineEnd = switches.count("no-final-newline") == 0;
  if (switches.count("leave-child") != 0 &&
      !StartLingeringCopy(SwitchNumber(switches, "leave-child", 0), folder / "lingering.txt")) {
    out.Line("Error=the lingering copy cannot be started");
    return 1;
  }
  // The copy is under way once its marker is there.
  for (int i = 0; switches.count("leave-child") != 0 && i < 200 && !fs::exists(folder / "lingering.txt", error); ++i) {
    Pause(50);
  }
  if (switches.count("finals") != 0) {
    // Several final lines in a row, "+" between them: "Fail+Success".
    std::stringstream states(switches.at("finals"));
    for (std::string state; std::getline(states, state, '+');) out.Line("State=" + state);
  } else if (switches.count("error") != 0) {
    out.Line("Error=" + switches.at("error"), finalLineEnd);
  } else if (switches.count("fail") != 0) {
    out.Line("State=Fail", finalLineEnd);
  } else {
    out.Line("State=Success", finalLineEnd);
  }
  return exitCode;
}

}  // namespace Demo
