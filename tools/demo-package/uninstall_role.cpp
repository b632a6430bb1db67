// The uninstaller "uninst.ep": removes the demo product's folder named by
// "_?=" and reports in the remover's part of the console protocol.
#include <system_error>

#include "demo.h"

namespace Demo {

int RunUninstall(const Arguments& arguments) {
  const Switches switches = ReadSwitches(arguments, "TALVORIN_DEMO_UNINSTALL");
  ProtocolOutput out(switches);
  const std::string folderText = UninstallFolderArgument(arguments);
  const std::filesystem::path folder = PathFromUtf8(folderText);

  out.Line("Progress=0.1");
  Pause(SwitchNumber(switches, "slow", 0));
  if (switches.count("fail") != 0) {
    out.Line("State=Fail");
    return 1;
  }
  if (switches.count("error") != 0) {
    out.Line("Error=" + switches.at("error"));
    return 1;
  }
  // Only a folder the demo package made is removed: its data file marks it.
  std::error_code error;
  if (folderText.empty() || !std::filesystem::exists(folder / "talvorin.dat", error)) {
    out.Line("Error=not a Talvorin folder: " + folderText);
    return 1;
  }
  std::filesystem::remove_all(folder, error);
  out.Line("Progress=1");
  if (switches.count("silent-end") == 0) out.Line("State=Success");
  // Keeps running after its last word, as uninstallers that clean up do.
  Pause(SwitchNumber(switches, "linger", 0));
  return error ? 1 : 0;
}

}  // namespace Demo
