#include "ui/framework/image.h"

#include <algorithm>
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

namespace {

// stb_image reserves room for a chunk's stated length before it reads the
// chunk: a few bytes claiming a chunk of 1.6 GB made it reserve 2 GiB. A PNG
// whose chunks do not fit in its bytes is damaged anyway.
bool ChunksFitInFile(const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kSignature = 8;
  constexpr std::size_t kChunkFrame = 12;  // length, type and checksum
  std::size_t at = kSignature;
  while (at + kChunkFrame <= bytes.size()) {
    const std::size_t length = static_cast<std::size_t>(bytes[at]) << 24 | static_cast<std::size_t>(bytes[at + 1]) << 16 |
                               static_cast<std::size_t>(bytes[at + 2]) << 8 | bytes[at + 3];
    if (length > bytes.size() - at - kChunkFrame) return false;
    at += kChunkFrame + length;
  }
  return true;
}

}  // namespace

std::shared_ptr<Image> Image::Decode(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
      !ChunksFitInFile(bytes)) {
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

std::shared_ptr<Image> Image::Crop(const Rect& part) const {
  const int left = std::max(part.left, 0);
  const int top = std::max(part.top, 0);
  const int right = std::min(part.right, width_);
  const int bottom = std::min(part.bottom, height_);
  if (right <= left || bottom <= top) return nullptr;
  const std::size_t rowBytes = static_cast<std::size_t>(right - left) * 4;
  std::vector<std::uint8_t> pixels;
  pixels.reserve(rowBytes * static_cast<std::size_t>(bottom - top));
  for (int y = top; y < bottom; ++y) {
    const auto* row = pixels_.data() + (static_cast<std::size_t>(y) * width_ + left) * 4;
    pixels.insert(pixels.end(), row, row + rowBytes);
  }
  return std::make_shared<Image>(right - left, bottom - top, std::move(pixels));
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
