// Images on the canvas: the layout modifiers, exact under any clip.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <vector>

#include "ui/framework/canvas.h"
#include "ui/framework/image.h"

namespace {

using Ui::Canvas;
using Ui::Image;
using Ui::ImageAttribute;
using Ui::Rect;

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kBlack = 0xFF000000;

// An image from opaque straight colours, row by row.
Image Opaque(int width, int height, std::initializer_list<std::uint32_t> colours) {
  std::vector<std::uint8_t> pixels;
  for (std::uint32_t c : colours) {
    pixels.insert(pixels.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                                 static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)});
  }
  return Image(width, height, std::move(pixels));
}

std::vector<std::uint32_t> Row(const Canvas& canvas, int y) {
  std::vector<std::uint32_t> row;
  for (int x = 0; x < canvas.Width(); ++x) row.push_back(canvas.PixelAt(x, y));
  return row;
}

std::vector<std::uint8_t> Bytes(const Canvas& canvas) {
  return {canvas.Pixels(), canvas.Pixels() + canvas.Width() * canvas.Height() * 4};
}

ImageAttribute PlainAttribute() {
  ImageAttribute attribute;
  attribute.file = L"x.png";
  return attribute;
}

// A 3 × 3 image: four corner colours, edges and a white centre.
Image NineSlice() {
  return Opaque(3, 3, {kRed, kGreen, kBlue,  //
                       kGreen, kWhite, kGreen,  //
                       kBlue, kGreen, kRed});
}

TEST(RenderImage, CornersKeepTheirSizeWhileTheMiddleStretches) {
  Canvas canvas(8, 6);
  ImageAttribute attribute = PlainAttribute();
  attribute.corner = {1, 1, 1, 1};
  canvas.DrawImage(NineSlice(), attribute, {0, 0, 8, 6});
  EXPECT_EQ(Row(canvas, 0), (std::vector<std::uint32_t>{kRed, kGreen, kGreen, kGreen, kGreen, kGreen, kGreen, kBlue}));
  EXPECT_EQ(Row(canvas, 3), (std::vector<std::uint32_t>{kGreen, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kGreen}));
  EXPECT_EQ(Row(canvas, 5), (std::vector<std::uint32_t>{kBlue, kGreen, kGreen, kGreen, kGreen, kGreen, kGreen, kRed}));

  // Without corners the whole image stretches: each source pixel covers a third.
  Canvas plain(6, 3);
  plain.DrawImage(NineSlice(), PlainAttribute(), {0, 0, 6, 3});
  EXPECT_EQ(Row(plain, 0), (std::vector<std::uint32_t>{kRed, kRed, kGreen, kGreen, kBlue, kBlue}));
}

TEST(RenderImage, HoleLeavesTheCentreEmpty) {
  Canvas canvas(5, 5);
  canvas.Clear(kBlack);
  ImageAttribute attribute = PlainAttribute();
  attribute.corner = {1, 1, 1, 1};
  attribute.hole = true;
  canvas.DrawImage(NineSlice(), attribute, {0, 0, 5, 5});
  EXPECT_EQ(canvas.PixelAt(2, 2), kBlack);
  EXPECT_EQ(canvas.PixelAt(2, 0), kGreen);
  EXPECT_EQ(canvas.PixelAt(0, 0), kRed);
}

TEST(RenderImage, MaskMakesTheKeyColourTransparent) {
  Canvas canvas(3, 1);
  canvas.Clear(kBlack);
  ImageAttribute attribute = PlainAttribute();
  attribute.mask = 0xFF0000;
  canvas.DrawImage(Opaque(3, 1, {kRed, kGreen, 0xFFFE0000}), attribute, {0, 0, 3, 1});
  EXPECT_EQ(Row(canvas, 0), (std::vector<std::uint32_t>{kBlack, kGreen, 0xFFFE0000}));
}

TEST(RenderImage, FadeScalesOpacity) {
  Canvas canvas(1, 1);
  ImageAttribute attribute = PlainAttribute();
  attribute.fade = 128;
  canvas.DrawImage(Opaque(1, 1, {kWhite}), attribute, {0, 0, 1, 1});
  EXPECT_EQ(canvas.PixelAt(0, 0), 0x80FFFFFFu);
  attribute.fade = 0;
  Canvas untouched(1, 1);
  untouched.DrawImage(Opaque(1, 1, {kWhite}), attribute, {0, 0, 1, 1});
  EXPECT_EQ(untouched.PixelAt(0, 0), 0u);
}

TEST(RenderImage, TilingRepeatsInsteadOfStretching) {
  const Image pair = Opaque(2, 2, {kRed, kBlue, kGreen, kWhite});
  ImageAttribute attribute = PlainAttribute();
  attribute.xtiled = true;
  Canvas canvas(5, 4);
  canvas.DrawImage(pair, attribute, {0, 0, 5, 4});
  EXPECT_EQ(Row(canvas, 0), (std::vector<std::uint32_t>{kRed, kBlue, kRed, kBlue, kRed}));
  EXPECT_EQ(Row(canvas, 1), (std::vector<std::uint32_t>{kRed, kBlue, kRed, kBlue, kRed}));  // stretched down
  EXPECT_EQ(Row(canvas, 3), (std::vector<std::uint32_t>{kGreen, kWhite, kGreen, kWhite, kGreen}));

  attribute.xtiled = false;
  attribute.ytiled = true;
  Canvas down(2, 5);
  down.DrawImage(pair, attribute, {0, 0, 2, 5});
  std::vector<std::uint32_t> column;
  for (int y = 0; y < 5; ++y) column.push_back(down.PixelAt(0, y));
  EXPECT_EQ(column, (std::vector<std::uint32_t>{kRed, kGreen, kRed, kGreen, kRed}));
}

TEST(RenderImage, SourceAndDestPickPartsAndStayInTheControl) {
  const Image strip = Opaque(3, 1, {kRed, kGreen, kBlue});
  ImageAttribute attribute = PlainAttribute();
  attribute.source = Rect{1, 0, 3, 1};  // green, blue
  attribute.dest = Rect{1, 0, 3, 1};    // relative to the control
  Canvas canvas(8, 1);
  canvas.DrawImage(strip, attribute, {2, 0, 6, 1});
  EXPECT_EQ(Row(canvas, 0), (std::vector<std::uint32_t>{0, 0, 0, kGreen, kBlue, 0, 0, 0}));

  attribute.dest = Rect{2, 0, 10, 1};  // runs past the control's right edge: cut at it
  attribute.source.reset();
  Canvas cut(8, 1);
  cut.DrawImage(strip, attribute, {2, 0, 6, 1});
  EXPECT_EQ(cut.PixelAt(3, 0), 0u);
  EXPECT_NE(cut.PixelAt(4, 0), 0u);
  EXPECT_NE(cut.PixelAt(5, 0), 0u);
  EXPECT_EQ(cut.PixelAt(6, 0), 0u);
}

// Repainting any part under a clip gives the pixels of a full repaint, for
// stretched, tiled and 9-slice drawing alike: the dirty-region repaint relies on it.
TEST(RenderImage, DrawingUnderAClipMatchesTheFullDrawing) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 7 * 5; ++i) {
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 3),
                               static_cast<std::uint8_t>(i), 255});
  }
  const Image image(7, 5, bytes);
  for (int variant = 0; variant < 3; ++variant) {
    ImageAttribute attribute = PlainAttribute();
    if (variant == 1) attribute.corner = {2, 1, 2, 1};
    if (variant == 2) attribute.xtiled = attribute.ytiled = true;
    const Rect control{3, 2, 40, 29};
    Canvas full(45, 33);
    full.DrawImage(image, attribute, control);
    Canvas pieces(45, 33);
    for (int x = 0; x < 45; x += 11) {
      for (int y = 0; y < 33; y += 7) {
        pieces.SetClip({x, y, x + 11, y + 7});
        pieces.DrawImage(image, attribute, control);
      }
    }
    EXPECT_EQ(Bytes(pieces), Bytes(full)) << "variant " << variant;
    Canvas outside(45, 33);
    outside.SetClip({0, 0, 3, 33});
    outside.DrawImage(image, attribute, control);
    EXPECT_EQ(Bytes(outside), Bytes(Canvas(45, 33)));
  }
}

TEST(RenderImage, CacheRemembersMissingAndUnreadableImages) {
  int reads = 0;
  Ui::ImageCache cache([&](const std::wstring& file) -> std::optional<std::vector<std::uint8_t>> {
    ++reads;
    if (file == L"garbage.png") return std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 1, 2, 3};
    return std::nullopt;
  });
  EXPECT_EQ(cache.Get(L"missing.png"), nullptr);
  EXPECT_EQ(cache.Get(L"missing.png"), nullptr);
  EXPECT_EQ(cache.Get(L"garbage.png"), nullptr);
  EXPECT_EQ(cache.Get(L""), nullptr);
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(Ui::Image::Decode({}), nullptr);
}

// A 2x1 PNG as an encoder writes it.
std::vector<std::uint8_t> SmallPng() {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(length >> shift));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    const uLong crc = crc32(0L, typed.data(), static_cast<uInt>(typed.size()));
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(crc >> shift));
  };
  chunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 1, 8, 6, 0, 0, 0});
  const std::vector<std::uint8_t> rows = {0, 255, 0, 0, 255, 0, 0, 255, 128};
  std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(rows.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  compress(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()));
  packed.resize(packedSize);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return png;
}

TEST(RenderImage, APngWhoseChunkClaimsMoreBytesThanItHasIsRefused) {
  std::vector<std::uint8_t> png = SmallPng();
  const auto decoded = Ui::Image::Decode(png);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->Width(), 2);
  EXPECT_EQ(decoded->Height(), 1);
  // The image data chunk (after the signature and the 25 bytes of the
  // header chunk) now claims 1.6 GB.
  const std::uint8_t claimed[] = {0x64, 0x65, 0x66, 0x67};
  std::copy(std::begin(claimed), std::end(claimed), png.begin() + 33);
  EXPECT_EQ(Ui::Image::Decode(png), nullptr);
}

struct SpecCase {
  const wchar_t* value;
  std::optional<ImageAttribute> expected;
};

ImageAttribute File(const wchar_t* file) {
  ImageAttribute attribute;
  attribute.file = file;
  return attribute;
}

template <typename F>
ImageAttribute With(const wchar_t* file, F change) {
  ImageAttribute attribute = File(file);
  change(attribute);
  return attribute;
}

TEST(RenderImage, ParseImageAttributeTable) {
  const SpecCase cases[] = {
      {L"", std::nullopt},
      {L"   ", std::nullopt},
      {L"file=''", std::nullopt},
      {L"res\\mainWnd\\bg1.png", File(L"res\\mainWnd\\bg1.png")},
      {L"  res/mainWnd/chDirBtn1.png ", File(L"res/mainWnd/chDirBtn1.png")},
      {L"file='res\\common\\minbtn1.png' fade='255'", File(L"res\\common\\minbtn1.png")},
      {L"file='res\\mainWnd\\Cb1.png' dest='0,2,15,16' ",
       With(L"res\\mainWnd\\Cb1.png", [](auto& s) { s.dest = Rect{0, 2, 15, 16}; })},
      {L"file='res\\mainWnd\\installPrg1.png' corner='2,2,2,2' mask='#FF0000' fade='255' "
       L"hole='false' xtiled='false' ytiled='false'",
       With(L"res\\mainWnd\\installPrg1.png", [](auto& s) {
         s.corner = {2, 2, 2, 2};
         s.mask = 0xFF0000u;
       })},
      {L"file=\"a.png\" source='1,2,3,4' mask='0xFF00FF00' hole='true' xtiled='true' ytiled='TRUE'",
       With(L"a.png", [](auto& s) {
         s.source = Rect{1, 2, 3, 4};
         s.mask = 0x00FF00u;
         s.hole = true;
         s.xtiled = true;
       })},
      {L"file='a.png' fade='128' corner='-3, 4 ,5,6'", With(L"a.png", [](auto& s) {
         s.fade = 128;
         s.corner = {0, 4, 5, 6};
       })},
      {L"file='a.png' fade='300'", With(L"a.png", [](auto& s) { s.fade = 255; })},
      {L"file='a.png' fade='-5'", With(L"a.png", [](auto& s) { s.fade = 0; })},
      // Unreadable values and unknown keys change nothing.
      {L"file='a.png' dest='1,2,3' corner='a,b,c,d' fade='12px' mask='#GG0000' source='1,2,3,4,5' "
       L"bogus='1' restype='png'",
       File(L"a.png")},
      {L"file='unclosed dest='1,2,3,4'", File(L"unclosed dest=")},
      {L"file=a.png dest=1,2,3,4", With(L"a.png", [](auto& s) { s.dest = Rect{1, 2, 3, 4}; })},
      {L"file='a.png' trailing", File(L"a.png")},
  };
  for (const SpecCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    const auto parsed = Ui::ParseImageAttribute(c.value);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value());
    if (!parsed) continue;
    EXPECT_TRUE(parsed->file == c.expected->file);
    EXPECT_EQ(parsed->source, c.expected->source);
    EXPECT_EQ(parsed->dest, c.expected->dest);
    EXPECT_EQ(parsed->corner, c.expected->corner);
    EXPECT_EQ(parsed->mask, c.expected->mask);
    EXPECT_EQ(parsed->fade, c.expected->fade);
    EXPECT_EQ(parsed->hole, c.expected->hole);
    EXPECT_EQ(parsed->xtiled, c.expected->xtiled);
    EXPECT_EQ(parsed->ytiled, c.expected->ytiled);
  }
}

}  // namespace
