// The settings file beside the executable, read with the private-profile
// rules into the settings record.
#include "fuzz/fuzz_targets.h"

#include "support/installer_settings.h"
#include "support/profile_file.h"

namespace Fuzz {

std::string CheckSettingsFile(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path folder = ScratchFolder() / "settings";
  std::filesystem::create_directories(folder);
  WriteFileBytes(folder / Installer::kSettingsFileName,
                 std::string_view(reinterpret_cast<const char*>(data), size));

  Installer::InstallerSettings settings;
  settings.ReadSettingsFile((folder / L"TalvorinInstaller").wstring());

  if (!(settings.downloadScale >= 0.0 && settings.downloadScale <= 1.0))
    return "the download scale left 0..1";
  const std::wstring* texts[] = {&settings.dlAppNameSuffix, &settings.dlAppVersion, &settings.instCmd,
                                 &settings.caBundle, &settings.analyticsServerUrl,
                                 &settings.locationServiceUrl};
  for (const std::wstring* text : texts) {
    if (text->size() >= Utils::kProfileValueCapacity) return "a value is longer than 259 characters";
    if (text->find_first_of(L"\r\n") != std::wstring::npos) return "a value runs over a line end";
  }
  return {};
}

}  // namespace Fuzz
