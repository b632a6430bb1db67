// The skin archive (7z) reader, with the checks its short run in the tests
// also makes: every listed name is found, in either separator form.
#include "fuzz/fuzz_targets.h"

#include "ui/skin_archive_fuzz.h"

namespace Fuzz {

std::string CheckSkinArchive(const std::uint8_t* data, std::size_t size) {
  return SkinFuzz::CheckSkinArchive(data, size, nullptr);
}

}  // namespace Fuzz
