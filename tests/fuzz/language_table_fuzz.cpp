// The skin's language table ("language.json"): the texts of the chosen
// language loaded for the window.
#include "fuzz/fuzz_targets.h"

#include "ui/language.h"

namespace Fuzz {

std::string CheckLanguageTable(const std::uint8_t* data, std::size_t size) {
  InputReader input(data, size);
  const int index = static_cast<int>(input.Byte() % 8) - 1;
  const std::string_view file = input.Rest();
  const Installer::SkinFileReader reader = [&](const std::wstring& path) -> std::optional<std::string_view> {
    if (path == Installer::kLanguageFileName) return file;
    return std::nullopt;
  };
  Installer::InterfaceTexts texts;
  const int chosen = Installer::LoadLanguage(index, L"", reader, texts);
  if (chosen < 0 || chosen >= static_cast<int>(Installer::kLanguageNames.size()))
    return "a language index outside the list";
  Installer::InterfaceTexts again;
  if (Installer::LoadLanguage(chosen, L"", reader, again) != chosen || again.Size() != texts.Size())
    return "loading the chosen language again gives other texts";
  return {};
}

}  // namespace Fuzz
