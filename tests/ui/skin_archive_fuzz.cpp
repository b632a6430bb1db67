#include "ui/skin_archive_fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "ui/skin_package.h"

namespace SkinFuzz {

std::string CheckSkinArchive(const std::uint8_t* data, std::size_t size, bool* opened) {
  const std::unique_ptr<Ui::SkinArchive> archive = Ui::SkinArchive::Open(data, size);
  if (opened != nullptr) *opened = archive != nullptr;
  if (archive == nullptr) return {};
  for (const std::wstring& name : archive->Names()) {
    if (name.find(L'\\') != std::wstring::npos) return "a listed name keeps a backslash";
    const std::optional<std::string_view> found = archive->Find(name);
    if (!found) return "a listed name is not found";
    std::wstring backslashed = name;
    for (wchar_t& c : backslashed) c = c == L'/' ? L'\\' : c;
    const std::optional<std::string_view> again = archive->Find(backslashed);
    // The comparison also reads every byte, which the sanitizers watch.
    if (!again || again->size() != found->size() ||
        (!found->empty() && std::memcmp(again->data(), found->data(), found->size()) != 0)) {
      return "the backslash form of a name finds other bytes";
    }
    if (!name.empty()) {
      // Shorter and longer names are only found if another entry has them.
      (void)archive->Find(name.substr(0, name.size() - 1));
      (void)archive->Find(name + L"x");
    }
  }
  return {};
}

}  // namespace SkinFuzz

int FuzzSkinArchive(const std::uint8_t* data, std::size_t size) {
  const std::string problem = SkinFuzz::CheckSkinArchive(data, size, nullptr);
  if (!problem.empty()) {
    std::fprintf(stderr, "skin archive fuzz: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
