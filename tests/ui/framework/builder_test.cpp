// The layout builder: the dialect's elements and attributes, the builder
// callback, damaged input, and a short fuzz run over mutated layouts.
#include <gtest/gtest.h>

#include <random>

#include "ui/framework/attribute_values.h"
#include "ui/framework/builder.h"
#include "ui/framework/canvas.h"
#include "ui/framework/button.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"
#include "ui/skin_package.h"

namespace {

TEST(FrameworkBuilder, ReadsTheDialectsAttributes) {
  FrameworkTest::FrameLabelCallback callback;
  Ui::LayoutResult result = Ui::BuildLayout(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<Window size=\"300,200\" caption=\"0,0,0,30\" roundcorner=\"4,4\" mininfo=\"1,1\">"
      "<Font id=\"3\" name=\"微软雅黑\" size=\"12\" underline=\"true\"/>"
      "<Font id=\"0\" name=\"Arial\" size=\"16\" default=\"true\" bold=\"true\"/>"
      "<VerticalLayout name=\"body\" bkcolor=\"0xFFF5FAFE\" unknownattribute=\"x\">"
      "<Label name=\"l\" text=\"a\" font=\"3\" textcolor=\"#FF282A43\" align=\"right\" valign=\"bottom\" "
      "       textpadding=\"1,2,3,4\" multiline=\"true\" userdata=\"正在安装中:%d%%\"/>"
      "<Button name=\"b\" hotbkcolor=\"#FF5A9DFD\" borderround=\"4,4\" bordersize=\"1\" "
      "        normalimage=\"file='res\\common\\minbtn1.png' fade='255'\" hotborercolor=\"#FF000000\"/>"
      "<CheckBox name=\"c\" selected=\"true\"/>"
      "<Edit name=\"e\" width=\"340\" text=\"C:\\x\"/>"
      "<Progress name=\"p\" width=\"520\" foreimage=\"res\\mainWnd\\installPrg2.png\" isstretchfore=\"false\"/>"
      "<SequenceLabel name=\"s\" sequencecount=\"25\"/>"
      "<Fancy name=\"f\"><Label name=\"inside\"/></Fancy>"
      "</VerticalLayout></Window>",
      &callback);
  ASSERT_NE(result.layout, nullptr) << testing::PrintToString(result.error);
  Ui::Layout& layout = *result.layout;
  EXPECT_EQ(layout.attributes.size, (Ui::Size{300, 200}));
  EXPECT_EQ(layout.attributes.caption, (Ui::Rect{0, 0, 0, 30}));
  EXPECT_EQ(layout.attributes.roundCorner, (Ui::Size{4, 4}));
  ASSERT_EQ(layout.fonts.size(), 2u);
  EXPECT_EQ(layout.fonts[0].id, 3);
  EXPECT_EQ(layout.fonts[0].description.name, L"微软雅黑");
  EXPECT_EQ(layout.fonts[0].description.size, 12);
  EXPECT_TRUE(layout.fonts[0].description.underline);
  EXPECT_TRUE(layout.fonts[1].isDefault);
  EXPECT_TRUE(layout.fonts[1].description.bold);
  // Unknown elements were offered to the callback; the one it refused is
  // skipped with everything inside it.
  EXPECT_EQ(callback.offered, (std::vector<std::wstring>{L"SequenceLabel", L"Fancy"}));
  EXPECT_EQ(layout.skipped, (std::vector<std::wstring>{L"Fancy"}));

  Ui::OffscreenEnvironment environment;
  Ui::Window window(nullptr);
  Ui::InstallLayout(window, std::move(layout));
  ASSERT_TRUE(window.Create(environment, nullptr));
  EXPECT_EQ(window.FindControl(L"body")->BkColor(), 0xFFF5FAFEu);
  auto* label = window.Find<Ui::Label>(L"l");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->FontId(), 3);
  EXPECT_EQ(label->TextColor(), 0xFF282A43u);
  EXPECT_EQ(label->TextStyle(), Ui::kTextRight | Ui::kTextBottom);
  EXPECT_EQ(label->TextPadding(), (Ui::Rect{1, 2, 3, 4}));
  EXPECT_EQ(label->UserData(), L"正在安装中:%d%%");
  EXPECT_EQ(window.GetFont(3)->Description().size, 12);
  EXPECT_EQ(window.GetFont(42)->Description().size, 16);  // unknown ids use the default font
  auto* button = window.Find<Ui::Button>(L"b");
  ASSERT_NE(button, nullptr);
  auto* box = window.Find<Ui::CheckBox>(L"c");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->IsSelected());
  EXPECT_EQ(window.Find<Ui::Edit>(L"e")->Text(), L"C:\\x");
  auto* progress = window.Find<Ui::Progress>(L"p");
  ASSERT_NE(progress, nullptr);
  ASSERT_TRUE(progress->ForeImage().has_value());
  EXPECT_EQ(progress->ForeImage()->file, L"res\\mainWnd\\installPrg2.png");
  EXPECT_NE(window.Find<FrameworkTest::FrameLabel>(L"s"), nullptr);
  EXPECT_EQ(window.FindControl(L"f"), nullptr);
  EXPECT_EQ(window.FindControl(L"inside"), nullptr);
}

TEST(FrameworkBuilder, ColourValues) {
  const std::pair<const wchar_t*, std::optional<Ui::Color>> cases[] = {
      {L"#FF1675FE", 0xFF1675FEu}, {L"0xFFF5FAFE", 0xFFF5FAFEu}, {L"0XfFf5fAfe", 0xFFF5FAFEu},
      {L"#FF0000", 0xFFFF0000u},   {L"26003B76", 0x26003B76u},   {L"#FF16", std::nullopt},
      {L"#GG1675FE", std::nullopt}, {L"", std::nullopt},          {L" #00FFFFFF ", 0x00FFFFFFu},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Ui::ParseColorValue(text), expected) << testing::PrintToString(std::wstring(text));
  }
}

TEST(FrameworkBuilder, RefusesWhatIsNoLayout) {
  const char* cases[] = {"", "<Window", "<Dialog size=\"1,1\"/>", "\xEF\xBB\xBF<Window><VerticalLayout>"};
  for (const char* xml : cases) {
    Ui::LayoutResult result = Ui::BuildLayout(xml, nullptr);
    EXPECT_EQ(result.layout, nullptr) << xml;
    EXPECT_FALSE(result.error.empty()) << xml;
  }
}

TEST(FrameworkBuilder, MissingLayoutGivesAWindowWithoutControls) {
  Ui::OffscreenEnvironment environment;
  FrameworkTest::SkinWindow window(L"MainWnd.xm");  // one letter short
  ASSERT_TRUE(window.Create(environment, nullptr));
  EXPECT_NE(window.BuildError(), L"");
  EXPECT_EQ(window.Root(), nullptr);
  EXPECT_EQ(window.FindControl(L"mainTabLt"), nullptr);
  environment.RunUntilIdle();
}

TEST(FrameworkBuilder, DeepAndWideLayoutsAreCut) {
  std::string deep = "<Window size=\"50,50\">";
  for (int i = 0; i < 5000; ++i) deep += "<VerticalLayout>";
  for (int i = 0; i < 5000; ++i) deep += "</VerticalLayout>";
  deep += "</Window>";
  std::string wide = "<Window size=\"50,50\"><VerticalLayout>";
  for (int i = 0; i < 20000; ++i) wide += "<Control/>";
  wide += "</VerticalLayout></Window>";
  for (const std::string& xml : {deep, wide}) {
    Ui::LayoutResult result = Ui::BuildLayout(xml, nullptr);
    ASSERT_NE(result.layout, nullptr);
    int count = 0;
    std::vector<Ui::Control*> stack{result.layout->root.get()};
    while (!stack.empty()) {
      Ui::Control* c = stack.back();
      stack.pop_back();
      ++count;
      if (Ui::Container* container = c->AsContainer()) {
        for (std::size_t i = 0; i < container->Count(); ++i) stack.push_back(container->ItemAt(i));
      }
    }
    EXPECT_LE(count, Ui::kMaxLayoutControls);
    EXPECT_GT(count, 0);
  }
}

// ---- the fuzz short run -------------------------------------------------------------------------

// Builds `xml`, lays it out, feeds it some input and paints it. The promise:
// no crash, no sanitizer report, and every control sits inside sane bounds.
void Exercise(const std::string& xml, Ui::OffscreenEnvironment& environment) {
  FrameworkTest::FrameLabelCallback callback;
  Ui::LayoutResult result = Ui::BuildLayout(xml, &callback);
  if (result.layout == nullptr) return;
  // Keep the canvas small: the fuzz run is about the builder and the layout.
  result.layout->attributes.size = {std::min(result.layout->attributes.size.cx, 320),
                                    std::min(result.layout->attributes.size.cy, 240)};
  FrameworkTest::SkinWindow window(L"", Ui::SkinPackageReader());
  Ui::InstallLayout(window, std::move(*result.layout));
  if (!window.Ui::Window::Create(environment, nullptr)) return;
  Ui::OffscreenHost* host = environment.HostOf(window);
  for (int i = 0; i < 6; ++i) {
    const Ui::Point p{(i * 53) % 320, (i * 37) % 240};
    host->Click(p);
    host->KeyDown(Ui::Key::kTab);
    host->TypeText(L"x");
  }
  environment.AdvanceTime(60);
}

TEST(FrameworkBuilder, FuzzTargetShortRun) {
  std::vector<std::string> seeds;
  for (const wchar_t* name : {L"mainWnd.xml", L"exitTipWnd.xml", L"MessageBox1Wnd.xml", L"InstalledPathTipWnd.xml"}) {
    std::optional<std::string_view> bytes = Ui::ReadSkinFile(name);
    ASSERT_TRUE(bytes.has_value());
    seeds.emplace_back(*bytes);
  }
  // Fragments that mutations splice in: the dialect's own words and the
  // values that hurt layout arithmetic.
  const std::string fragments[] = {
      "<VerticalLayout>", "</VerticalLayout>", "<TabLayout selectedid=\"9\">", "<Combo><a text=\"x\"/></Combo>",
      " width=\"-99999999\"", " height=\"2147483647\"", " pos=\"-5,-5,99999,3\" float=\"true\"",
      " padding=\"-100000,100000,5\"", " textpadding=\"900,900,900,900\"", " bkimage=\"file='' corner='9,9'\"",
      " font=\"-1\"", " size=\"0,0\"", " inset=\"60,60,60,60\"", " visible=\"false\"", " autocalcwidth=\"true\"",
      " multiline=\"true\"", "<Edit maxchar=\"0\"/>", "<Progress value=\"7\" min=\"9\" max=\"-3\"/>", "&#0;", "\xF0\x9F"};
  std::mt19937 random(11);
  Ui::OffscreenEnvironment environment;
  int built = 0;
  int runs = 0;
  for (const std::string& seed : seeds) {
    Exercise(seed, environment);
    for (int round = 0; round < 60; ++round) {
      std::string xml = seed;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int k = 0; k < changes; ++k) {
        const std::size_t at = random() % xml.size();
        switch (random() % 4) {
          case 0:
            xml[at] = static_cast<char>(random() & 0xFF);
            break;
          case 1:
            xml.insert(at, fragments[random() % std::size(fragments)]);
            break;
          case 2:
            xml.erase(at, random() % 40);
            break;
          default: {
            // Insert an attribute inside a tag so that it is read, not refused.
            const std::size_t tag = xml.find(' ', xml.find('<', at));
            if (tag != std::string::npos) xml.insert(tag, fragments[5 + random() % 12]);
            break;
          }
        }
      }
      built += Ui::BuildLayout(xml, nullptr).layout != nullptr ? 1 : 0;
      Exercise(xml, environment);
      ++runs;
    }
  }
  // Both kinds of input were reached: layouts that still build after damage
  // and layouts that are refused.
  EXPECT_GT(built, runs / 10);
  EXPECT_LT(built, runs);
}

}  // namespace
