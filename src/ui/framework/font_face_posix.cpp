#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "support/debug_log.h"
#include "support/text.h"
#include "ui/framework/font_face.h"

// gcc names an AddressSanitizer build by a macro, clang by a feature test.
#if defined(__SANITIZE_ADDRESS__)
#define TALVORIN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALVORIN_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(TALVORIN_ADDRESS_SANITIZER)
// Two system libraries keep blocks for the life of the process that
// LeakSanitizer cannot trace: fontconfig's default configuration (2.14), and
// the D-Bus connection SDL opens for input methods (SDL 2.26 never shuts
// D-Bus down). Ending them at exit is unsafe while other threads may still
// use them, and a private fontconfig configuration per lookup costs 5 to
// 17 ms, so the leak checker is told to look away from these two libraries
// alone. Every program that shows a window draws text, so this file is
// linked wherever either library is used.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
#endif
namespace Ui {

namespace {

struct MappedFace {
  std::shared_ptr<const unsigned char> data;
  std::size_t size = 0;
};

// The face file mapped read-only. FreeType would map it again for every font
// opened by path, and the pages of each mapping count in full towards the
// resident set: a CJK collection is several megabytes, and a layout declares
// several fonts from it.
MappedFace MapFile(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return {};
  MappedFace mapped;
  struct stat status {};
  if (fstat(descriptor, &status) == 0 && status.st_size > 0) {
    const auto size = static_cast<std::size_t>(status.st_size);
    void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (address != MAP_FAILED) {
      mapped.size = size;
      mapped.data = std::shared_ptr<const unsigned char>(static_cast<const unsigned char*>(address),
                                                         [size](const unsigned char* p) {
                                                           munmap(const_cast<unsigned char*>(p), size);
                                                         });
    }
  }
  close(descriptor);
  return mapped;
}

// One mapping per face file while any font uses it; unmapped with the last.
MappedFace SharedMapping(const std::string& path) {
  struct Entry {
    std::weak_ptr<const unsigned char> data;
    std::size_t size = 0;
  };
  static std::mutex mutex;
  static std::map<std::string, Entry> mappings;
  std::lock_guard<std::mutex> lock(mutex);
  Entry& entry = mappings[path];
  if (auto alive = entry.data.lock()) return {std::move(alive), entry.size};
  MappedFace mapped = MapFile(path);
  entry = Entry{mapped.data, mapped.size};
  return mapped;
}

}  // namespace

std::vector<FontFaceFile> FindFallbackFaces(const FontDescription& description, char32_t character) {
  std::vector<FontFaceFile> faces;
  FcPattern* pattern = FcPatternCreate();
  FcCharSet* wanted = FcCharSetCreate();
  if (pattern == nullptr || wanted == nullptr) {
    if (pattern != nullptr) FcPatternDestroy(pattern);
    if (wanted != nullptr) FcCharSetDestroy(wanted);
    return faces;
  }
  // fontconfig ranks the faces that cover the character first.
  FcCharSetAddChar(wanted, static_cast<FcChar32>(character));
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern, FC_WEIGHT, description.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  FcCharSetDestroy(wanted);
  if (match == nullptr) return faces;
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    FontFaceFile face{reinterpret_cast<const char*>(file), index, nullptr, 0};
    MappedFace mapped = SharedMapping(face.path);
    face.data = std::move(mapped.data);
    face.size = mapped.size;
    faces.push_back(std::move(face));
  }
  FcPatternDestroy(match);
  return faces;
}

std::optional<FontFaceFile> FindFontFace(const FontDescription& description) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return std::nullopt;
  const std::string family = Utils::ToNarrow(description.name, Utils::kCodePageUtf8);
  if (!family.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  // A family the system lacks (the skin's Windows font) gives way to a sans
  // serif that covers simplified Chinese; a family it has still wins.
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcPatternAddInteger(pattern, FC_WEIGHT, description.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) {
    DEBUG_LOG(L"fontconfig found no face for %s", description.name.c_str());
    return std::nullopt;
  }
  std::optional<FontFaceFile> face;
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    face = FontFaceFile{reinterpret_cast<const char*>(file), index, nullptr, 0};
    // Unmappable (an odd file system): FreeType opens the path itself.
    MappedFace mapped = SharedMapping(face->path);
    face->data = std::move(mapped.data);
    face->size = mapped.size;
    FcChar8* matchedFamily = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
        family != reinterpret_cast<const char*>(matchedFamily)) {
      DEBUG_LOG(L"font %s falls back to %s", description.name.c_str(),
                Utils::ToWide(face->path, Utils::kCodePageUtf8).c_str());
    }
  }
  FcPatternDestroy(match);
  return face;
}

}  // namespace Ui
