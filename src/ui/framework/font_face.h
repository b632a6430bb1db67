// Where a font's face file is: fontconfig on Linux, the Windows fonts folder
// on Windows. Internal to the renderer.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/framework/font.h"

namespace Ui {

struct FontFaceFile {
  std::string path;  // as the C library's fopen takes it
  int index = 0;     // face inside a collection (.ttc)
  // The face's bytes, when the renderer should read them from memory: handed
  // out by the system (no file), or a file mapped once and shared by every
  // font drawn from it. Null: the renderer opens `path` itself.
  std::shared_ptr<const unsigned char> data;
  std::size_t size = 0;
};

// The face that best matches the description; a name that no face carries
// falls back to a CJK sans serif, then to any face at all (logged). nullopt
// when the system has no usable face.
std::optional<FontFaceFile> FindFontFace(const FontDescription& description);

// Faces that may draw `character` when the description's face lacks it, best
// first (the renderer takes the first that has it): the system's fallback
// for the character's script.
std::vector<FontFaceFile> FindFallbackFaces(const FontDescription& description, char32_t character);

}  // namespace Ui
