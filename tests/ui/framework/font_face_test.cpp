// Fonts drawn from one face file share its bytes: a CJK collection is several
// megabytes, and every mapping of it counts in full towards the resident set.
#include "ui/framework/font_face.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ui/framework/font.h"

namespace {

#ifndef _WIN32
// How many mappings of the file the process holds now.
int MappingsOf(const std::string& path) {
  std::ifstream maps("/proc/self/maps");
  int count = 0;
  for (std::string line; std::getline(maps, line);) {
    if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) ++count;
  }
  return count;
}

TEST(FontFace, FontsOfOneFaceFileMapItOnceAndOutliveEachOther) {
  Ui::FontDescription regular{L"微软雅黑", 12, false, false, false};
  auto face = Ui::FindFontFace(regular);
  ASSERT_TRUE(face.has_value());
  ASSERT_NE(face->data, nullptr);
  const std::string path = face->path;

  std::vector<std::shared_ptr<Ui::Font>> fonts;
  for (int size : {12, 14, 20}) fonts.push_back(Ui::Font::Create({L"微软雅黑", size, false, false, false}));
  for (const auto& font : fonts) EXPECT_FALSE(font->Glyph(U'安').coverage.empty());
  EXPECT_EQ(MappingsOf(path), 1);

  // The last font still draws once the others, and the first lookup, are gone.
  std::shared_ptr<Ui::Font> last = fonts.back();
  fonts.clear();
  face.reset();
  EXPECT_FALSE(last->Glyph(U'装').coverage.empty());
  EXPECT_EQ(MappingsOf(path), 1);

  // Once nothing draws from it the file is unmapped, and mapped again on demand.
  last.reset();
  EXPECT_EQ(MappingsOf(path), 0);
  const auto again = Ui::Font::Create(regular);
  EXPECT_FALSE(again->Glyph(U'成').coverage.empty());
  EXPECT_EQ(MappingsOf(path), 1);
}
#endif

}  // namespace
