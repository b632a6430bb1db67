// Canvas::WritePng: the canvas as an 8-bit RGBA PNG with straight alpha.
#include <cstdio>
#include <vector>

#include "support/text.h"
#include "ui/framework/canvas.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace Ui {

namespace {

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

std::FILE* OpenForWriting(const std::string& path) {
#ifdef _WIN32
  return _wfopen(Utils::ToWide(path, Utils::kCodePageUtf8).c_str(), L"wb");
#else
  return std::fopen(path.c_str(), "wb");
#endif
}

}  // namespace

bool Canvas::WritePng(const std::string& path) const {
  if (width_ == 0 || height_ == 0) return false;
  std::vector<unsigned char> straight(pixels_.size());
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t p = PixelAt(x, y);
      unsigned char* out = straight.data() + (static_cast<std::size_t>(y) * width_ + x) * 4;
      out[0] = static_cast<unsigned char>(p >> 16);
      out[1] = static_cast<unsigned char>(p >> 8);
      out[2] = static_cast<unsigned char>(p);
      out[3] = static_cast<unsigned char>(p >> 24);
    }
  }
  std::vector<unsigned char> png;
  if (!stbi_write_png_to_func(Append, &png, width_, height_, 4, straight.data(), width_ * 4)) {
    return false;
  }
  std::FILE* file = OpenForWriting(path);
  if (file == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace Ui
