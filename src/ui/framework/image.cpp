#include "ui/framework/image.h"

#include <limits>
#include <utility>

#include "support/debug_log.h"
#include "ui/framework/pixel.h"

// The skin ships PNG only; the other decoders would be untested attack surface.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
// No skin image comes near this; a header claiming more is refused before
// anything is allocated for it.
#define STBI_MAX_DIMENSIONS 8192
#define STBI_ASSERT(x) ((void)0)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace Ui {

std::shared_ptr<Image> Image::Decode(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return nullptr;
  }
  int width = 0;
  int height = 0;
  int channels = 0;
  stbi_uc* decoded = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width,
                                           &height, &channels, 4);
  if (decoded == nullptr) return nullptr;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> pixels(count * 4);
  for (std::size_t i = 0; i < count; ++i) {
    const stbi_uc* s = decoded + i * 4;
    const std::uint32_t a = s[3];
    Pixel::Store(pixels.data() + i * 4, Pixel::Pack(Pixel::Div255(s[0] * a), Pixel::Div255(s[1] * a),
                                                    Pixel::Div255(s[2] * a), a));
  }
  stbi_image_free(decoded);
  return std::make_shared<Image>(width, height, std::move(pixels));
}

Image::Image(int width, int height, std::vector<std::uint8_t> premultipliedRgba)
    : width_(width), height_(height), pixels_(std::move(premultipliedRgba)) {
  if (width_ < 0 || height_ < 0 ||
      pixels_.size() != static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4) {
    width_ = 0;
    height_ = 0;
    pixels_.clear();
  }
}

ImageCache::ImageCache(Reader reader) : reader_(std::move(reader)) {}

std::shared_ptr<Image> ImageCache::Get(const std::wstring& file) {
  if (file.empty()) return nullptr;
  auto found = images_.find(file);
  if (found != images_.end()) return found->second;
  std::shared_ptr<Image> image;
  if (reader_) {
    if (auto bytes = reader_(file)) {
      image = Image::Decode(*bytes);
      if (!image) DEBUG_LOG(L"image cannot be decoded: %s", file.c_str());
    } else {
      DEBUG_LOG(L"image not in the skin: %s", file.c_str());
    }
  }
  images_.emplace(file, image);
  return image;
}

}  // namespace Ui
