#include "ui/embedded_skin.h"

#include <cstdint>

// The build names the archive file in TALVORIN_SKIN_ARCHIVE; the assembler
// copies it into read-only data, followed by its length.
#ifndef TALVORIN_SKIN_ARCHIVE
#error "TALVORIN_SKIN_ARCHIVE must name the skin archive to embed"
#endif

__asm__(
    ".pushsection .rodata\n"
    ".balign 16\n"
    "talvorin_skin_archive:\n"
    ".incbin \"" TALVORIN_SKIN_ARCHIVE "\"\n"
    "talvorin_skin_archive_end:\n"
    ".balign 8\n"
    "talvorin_skin_archive_size:\n"
    ".quad talvorin_skin_archive_end - talvorin_skin_archive\n"
    ".popsection\n");

extern "C" {
extern const unsigned char talvorin_skin_archive[] __attribute__((visibility("hidden")));
extern const std::uint64_t talvorin_skin_archive_size __attribute__((visibility("hidden")));
}

namespace Ui {

std::span<const unsigned char> EmbeddedSkinBytes() {
  return {talvorin_skin_archive, static_cast<std::size_t>(talvorin_skin_archive_size)};
}

}  // namespace Ui
