// Fonts rasterised with FreeType. Each font owns its library instance, face
// and glyph cache, so fonts share no state and need no locking among
// themselves; a font is used on its window's thread.
#include "ui/framework/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "support/debug_log.h"
#include "ui/framework/font_face.h"
#include "ui/framework/text_layout.h"

namespace Ui {

namespace {

int Pixels26Dot6(FT_Pos value) { return static_cast<int>((value + 32) >> 6); }

class FreeTypeFont final : public Font {
 public:
  explicit FreeTypeFont(const FontDescription& description) : description_(description) {
    description_.size = std::clamp(description_.size, 1, 512);
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      DEBUG_LOG(L"FreeType cannot start");
      return;
    }
    const auto file = FindFontFace(description_);
    if (!file) return;
    data_ = file->data;
    const FT_Error opened =
        data_ != nullptr
            ? FT_New_Memory_Face(library_, data_.get(), static_cast<FT_Long>(file->size), file->index, &face_)
            : FT_New_Face(library_, file->path.c_str(), file->index, &face_);
    if (opened != 0) {
      face_ = nullptr;
      DEBUG_LOG(L"font face cannot be opened for %s", description_.name.c_str());
      return;
    }
    FT_Select_Charmap(face_, FT_ENCODING_UNICODE);
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(description_.size));
    syntheticBold_ = description_.bold && !(face_->style_flags & FT_STYLE_FLAG_BOLD);
    syntheticItalic_ = description_.italic && !(face_->style_flags & FT_STYLE_FLAG_ITALIC);
    const FT_Size_Metrics& metrics = face_->size->metrics;
    ascent_ = Pixels26Dot6(metrics.ascender);
    lineHeight_ = std::max(ascent_ - Pixels26Dot6(metrics.descender), 1);
  }

  ~FreeTypeFont() override {
    for (Fallback& fallback : fallbacks_) FT_Done_Face(fallback.face);
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }

  FreeTypeFont(const FreeTypeFont&) = delete;
  FreeTypeFont& operator=(const FreeTypeFont&) = delete;

  const FontDescription& Description() const override { return description_; }
  int LineHeight() const override { return lineHeight_; }
  int Ascent() const override { return ascent_; }
  bool HasFace() const override { return face_ != nullptr; }

  Size Measure(std::wstring_view text, int maxWidth, unsigned format) const override {
    return Layout(text, maxWidth, 0, format).size;
  }

  TextLayout Layout(std::wstring_view text, int maxWidth, int maxHeight,
                    unsigned format) const override {
    if (face_ == nullptr) return {};
    return LayoutText(
        ToCodePoints(text), [this](char32_t c) { return Glyph(c).advance; }, lineHeight_, maxWidth,
        maxHeight, format);
  }

  const GlyphBitmap& Glyph(char32_t character) const override {
    auto found = glyphs_.find(character);
    if (found != glyphs_.end()) return found->second;
    return glyphs_.emplace(character, Rasterise(character)).first->second;
  }

 private:
  struct Fallback {
    std::string path;
    int index = 0;
    std::shared_ptr<const unsigned char> data;  // outlives face
    FT_Face face = nullptr;
  };

  // A face of the system's fallback chain that has the character: the
  // skin's font may cover Chinese but not, say, Polish or Korean letters.
  FT_Face FallbackFor(char32_t character) const {
    for (const Fallback& fallback : fallbacks_) {
      if (FT_Get_Char_Index(fallback.face, character) != 0) return fallback.face;
    }
    if (fallbacks_.size() >= 8 || !triedFallback_.insert(character).second) return nullptr;
    for (FontFaceFile& file : FindFallbackFaces(description_, character)) {
      const bool known = std::any_of(fallbacks_.begin(), fallbacks_.end(), [&](const Fallback& f) {
        return !file.path.empty() && f.path == file.path && f.index == file.index;
      });
      if (known) continue;
      Fallback fallback{file.path, file.index, file.data, nullptr};
      const FT_Error opened =
          file.data != nullptr
              ? FT_New_Memory_Face(library_, file.data.get(), static_cast<FT_Long>(file.size), file.index, &fallback.face)
              : FT_New_Face(library_, file.path.c_str(), file.index, &fallback.face);
      if (opened != 0) continue;
      FT_Select_Charmap(fallback.face, FT_ENCODING_UNICODE);
      FT_Set_Pixel_Sizes(fallback.face, 0, static_cast<FT_UInt>(description_.size));
      if (FT_Get_Char_Index(fallback.face, character) == 0) {
        FT_Done_Face(fallback.face);
        continue;
      }
      fallbacks_.push_back(std::move(fallback));
      return fallbacks_.back().face;
    }
    return nullptr;
  }

  GlyphBitmap Rasterise(char32_t character) const {
    GlyphBitmap glyph;
    if (face_ == nullptr) return glyph;
    FT_Face face = face_;
    FT_UInt index = FT_Get_Char_Index(face_, character);
    if (index == 0 && character != U' ' && character >= 0x20) {
      face = FallbackFor(character);
      index = face != nullptr ? FT_Get_Char_Index(face, character) : 0;
    }
    if (index == 0 && character != U' ') return glyph;  // not drawn, takes no room
    if (face == nullptr) face = face_;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return glyph;
    FT_GlyphSlot slot = face->glyph;
    if (syntheticBold_) FT_GlyphSlot_Embolden(slot);
    if (syntheticItalic_) FT_GlyphSlot_Oblique(slot);
    glyph.advance = Pixels26Dot6(slot->advance.x);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return glyph;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.height);
    for (int y = 0; y < glyph.height; ++y) {
      const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      std::copy(row, row + glyph.width, glyph.coverage.begin() + static_cast<std::ptrdiff_t>(y) * glyph.width);
    }
    return glyph;
  }

  FontDescription description_;
  std::shared_ptr<const unsigned char> data_;  // outlives face_
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  bool syntheticBold_ = false;
  bool syntheticItalic_ = false;
  int ascent_ = 0;
  int lineHeight_ = 0;
  mutable std::unordered_map<char32_t, GlyphBitmap> glyphs_;
  mutable std::vector<Fallback> fallbacks_;
  mutable std::set<char32_t> triedFallback_;
};

}  // namespace

std::shared_ptr<Font> Font::Create(const FontDescription& description) {
  auto font = std::make_shared<FreeTypeFont>(description);
  if (!font->HasFace()) DEBUG_LOG(L"font %s has no face and draws nothing", description.name.c_str());
  return font;
}

}  // namespace Ui
