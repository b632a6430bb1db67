// Decoded images and the image attribute of the layouts ("file='…' dest='…'
// corner='…' mask='…' fade='…' hole='…' xtiled='…' ytiled='…'", or a plain path).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/framework/geometry.h"

namespace Ui {

// Premultiplied RGBA pixels, row-major.
class Image {
 public:
  // Decodes PNG (or any format stb_image reads). nullptr for bytes it cannot read.
  static std::shared_ptr<Image> Decode(const std::vector<std::uint8_t>& bytes);

  Image(int width, int height, std::vector<std::uint8_t> premultipliedRgba);
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::uint8_t* Pixels() const { return pixels_.data(); }
  // The part of the image inside `part` (clipped to the image); nullptr when
  // nothing of it lies inside.
  std::shared_ptr<Image> Crop(const Rect& part) const;

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

struct ImageAttribute {
  std::wstring file;           // path inside the skin package
  std::optional<Rect> source;  // "source": part of the image; whole image when absent
  std::optional<Rect> dest;    // "dest": relative to the control; whole control when absent
  Rect corner;                 // "corner": 9-slice insets left, top, right, bottom
  std::optional<Color> mask;   // "mask": pixels of this colour (RGB) become transparent
  std::uint8_t fade = 255;     // "fade": overall opacity
  bool hole = false;           // "hole": with corners, the centre is not drawn
  bool xtiled = false;         // "xtiled": repeat instead of stretching horizontally
  bool ytiled = false;         // "ytiled"
};

// Parses an image attribute value. A value without "file=" is a plain path.
// Unknown keys and unreadable numbers are ignored; an empty value gives
// nullopt (no image).
std::optional<ImageAttribute> ParseImageAttribute(std::wstring_view value);

// Loads each image once from a reader (normally the skin package); images
// that are missing or unreadable are remembered as missing.
class ImageCache {
 public:
  using Reader = std::function<std::optional<std::vector<std::uint8_t>>(const std::wstring&)>;
  explicit ImageCache(Reader reader);
  std::shared_ptr<Image> Get(const std::wstring& file);

 private:
  Reader reader_;
  std::map<std::wstring, std::shared_ptr<Image>> images_;
};

}  // namespace Ui
