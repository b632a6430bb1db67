// Where the shipped layouts put each named control. The expected rectangles
// are worked out by hand from the layout's design (gaps and sizes as the
// designer wrote them down), not taken from a run of the code.
#include <gtest/gtest.h>

#include "ui/framework/builder.h"
#include "ui/framework/canvas.h"
#include "ui/framework/font.h"
#include "ui/framework/label.h"
#include "ui/framework/container.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"

namespace {

using FrameworkTest::SkinWindow;
using Ui::Rect;

struct Expected {
  const wchar_t* name;
  int page;  // main page to show first, -1 for none
  Rect rect;
};

// Main window, 600 x 400. The title row is 0..45 and the pages fill 45..400.
//  Title: 10 | titleTabLt 200 | flexible | column 72 | 14  => column 514..586.
//  Page 0: 59 gap (45..104), logo 44 (104..148), 50 gap (148..198), the
//   install button row 46 (198..244), flexible, tipLbl row 32, 4 gap, the
//   licence row, 20 gap (380..400). The licence row is 20 high because its
//   button "customeBtn" is 20 high (an 18-high row cannot hold it), so the
//   flexible gap is 355 - 275 = 80: tipLbl row 324..356, licence row 360..380.
//   customeBtn sits right: 600 - 14 - 260 = 326.
//  Title: languageCombo 150 wide in a column left of a 16 gap before the
//   title buttons' column: 348..498, 11 below the top, 26 high.
//  Page 1: 29 gap (45..74), logo row 46 (74..120), 44 gap (120..164), the
//   folder row 36 (164..200): 46 | label 70 | 6 | edit flexible (122..434) |
//   10 | chDirBtn 110 (444..554) | 46; 20 gap (200..220); the options row 46
//   (220..266): 46 | label as wide as its text | 6 | a column with createDSCb
//   18 high, 10 gap, createQSCb 18 high (122..554 in a Chinese window without
//   its labels fitted); 21 gap (266..287); customeInstallBtn row 46 (287..333).
//  Page 2: 33 gap (45..78); row 200 (78..278) with a 160-wide column centred
//   (220..380) holding the 160 x 160 animation centred (98..258); 22 gap
//   (278..300); progressLb row 30 (300..330), 520 wide centred (40..560);
//   20 gap (330..350); installPrg 520 x 8 centred (40..560, 350..358).
//  Page 3: 50 gap (45..95), image row 80 (95..175), 25 gap, label row 50
//   (200..250), 52 gap (250..302), openProduceBtn row 46 (302..348).
const Expected kMainWindow[] = {
    {L"winCtn", -1, {0, 0, 600, 400}},
    {L"titleTabLt", -1, {10, 0, 210, 45}},
    {L"mainTabLt", -1, {0, 45, 600, 400}},
    {L"titleGrpCtn", -1, {514, 12, 586, 36}},
    {L"minbtn", -1, {514, 12, 538, 36}},
    {L"closebtn", -1, {562, 12, 586, 36}},
    {L"defaultInstallBtn", 0, {200, 198, 400, 244}},
    {L"customeBtn", 0, {326, 360, 586, 380}},
    {L"languageCombo", 0, {348, 11, 498, 37}},
    {L"backBtn", 1, {10, 11, 74, 41}},
    {L"installDirEdit", 1, {122, 164, 434, 200}},
    {L"chDirBtn", 1, {444, 164, 554, 200}},
    {L"createDSCb", 1, {122, 220, 554, 238}},
    {L"createQSCb", 1, {122, 248, 554, 266}},
    {L"customeInstallBtn", 1, {200, 287, 400, 333}},
    {L"progressAnLb", 2, {220, 98, 380, 258}},
    {L"progressLb", 2, {40, 300, 560, 330}},
    {L"installPrg", 2, {40, 350, 560, 358}},
    {L"openProduceBtn", 3, {200, 302, 400, 348}},
};

TEST(FrameworkLayout, MainWindowControlsSitWhereTheLayoutPutsThem) {
  Ui::OffscreenEnvironment environment;
  SkinWindow window(L"MainWnd.xml");
  ASSERT_TRUE(window.Create(environment, nullptr));
  ASSERT_EQ(window.BuildError(), L"");
  EXPECT_EQ(window.Attributes().size, (Ui::Size{600, 400}));
  for (const Expected& e : kMainWindow) {
    if (e.page >= 0) FrameworkTest::ShowMainPage(window, e.page);
    window.EnsureLayout();
    Ui::Control* control = window.FindControl(e.name);
    ASSERT_NE(control, nullptr) << std::wstring(e.name).size();
    EXPECT_TRUE(control->IsShown()) << testing::PrintToString(std::wstring(e.name));
    EXPECT_EQ(control->Position(), e.rect) << testing::PrintToString(std::wstring(e.name));
  }
}

TEST(FrameworkLayout, HiddenControlsTakeTheirPlaceWhenShown) {
  Ui::OffscreenEnvironment environment;
  SkinWindow window(L"MainWnd.xml");
  ASSERT_TRUE(window.Create(environment, nullptr));
  Ui::Control* tip = window.FindControl(L"tipLbl");
  Ui::Control* treaty = window.FindControl(L"treatyCb");
  Ui::Control* treatyLink = window.FindControl(L"treatyBtn");
  ASSERT_NE(tip, nullptr);
  ASSERT_NE(treaty, nullptr);
  ASSERT_NE(treatyLink, nullptr);
  EXPECT_FALSE(tip->IsShown());
  EXPECT_FALSE(treaty->IsShown());  // the licence group is hidden in this build
  tip->SetVisible(true);
  treaty->Parent()->SetVisible(true);
  window.EnsureLayout();
  // tipLbl: 10 from the left in its 32-high row (324..356). The licence group
  // (300 wide, 18 high) starts the licence row (360): 10 | treatyCb | treatyBtn,
  // the two as wide as their texts.
  EXPECT_EQ(tip->Position(), (Rect{10, 324, 230, 356}));
  EXPECT_EQ(treaty->Position().left, 10);
  EXPECT_EQ(treaty->Position().top, 360);
  EXPECT_EQ(treaty->Position().right, treatyLink->Position().left);
  EXPECT_GT(treatyLink->Position().Width(), 0);
  // Showing the group does not move the button on the right.
  EXPECT_EQ(window.FindControl(L"customeBtn")->Position(), (Rect{326, 360, 586, 380}));
}

// The dialogs: 360 x 180 (the installed-path tip 400 x 180). Title row 30:
// 10 | captionLbl flexible | a 24-wide column with closebtn 3 below the top |
// 6. Then 16 gap (30..46), the question row 66 (46..112): 30 | icon 40 | 14 |
// textLbl flexible | 24; flexible gap; the button row 32 (128..160), right
// aligned with 20 on the right and 12 between; 20 gap (160..180).
struct DialogCase {
  const wchar_t* layout;
  std::vector<Expected> controls;
};

TEST(FrameworkLayout, DialogControlsSitWhereTheLayoutsPutThem) {
  const DialogCase cases[] = {
      {L"ExitTipWnd.xml",
       {{L"captionLbl", -1, {10, 0, 330, 30}},
        {L"closebtn", -1, {330, 3, 354, 27}},
        {L"textLbl", -1, {84, 46, 336, 112}},
        {L"okBtn", -1, {184, 128, 256, 160}},
        {L"cancelBtn", -1, {268, 128, 340, 160}}}},
      {L"NetworkTipWnd.xml",
       {{L"cancelBtn", -1, {128, 128, 228, 160}}, {L"okBtn", -1, {240, 128, 340, 160}}}},
      {L"InstalledPathTipWnd.xml",
       {{L"closebtn", -1, {370, 3, 394, 27}},
        {L"textLbl", -1, {84, 46, 376, 112}},
        {L"cancelBtn", -1, {108, 128, 228, 160}},
        {L"okBtn", -1, {240, 128, 380, 160}}}},
      // Message boxes: the body below the title is 30 | column | 30 with the
      // text between a 10 gap and a 20 gap: 30..330 x 40..160.
      {L"MessageBox1Wnd.xml", {{L"textLbl", -1, {30, 40, 330, 160}}, {L"closebtn", -1, {330, 3, 354, 27}}}},
      {L"MessageBox2Wnd.xml", {{L"textLbl", -1, {30, 40, 330, 160}}, {L"captionLbl", -1, {10, 0, 330, 30}}}},
  };
  for (const DialogCase& c : cases) {
    Ui::OffscreenEnvironment environment;
    SkinWindow window(c.layout);
    ASSERT_TRUE(window.Create(environment, nullptr));
    ASSERT_EQ(window.BuildError(), L"") << testing::PrintToString(std::wstring(c.layout));
    window.EnsureLayout();
    for (const Expected& e : c.controls) {
      Ui::Control* control = window.FindControl(e.name);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(control->Position(), e.rect)
          << testing::PrintToString(std::wstring(c.layout)) << " " << testing::PrintToString(std::wstring(e.name));
    }
  }
}

// ---- the flow rules on small layouts ---------------------------------------------------

std::unique_ptr<Ui::Layout> Build(const std::string& xml, Ui::IBuilderCallback* callback = nullptr) {
  Ui::LayoutResult result = Ui::BuildLayout(xml, callback);
  EXPECT_EQ(result.error, L"");
  return std::move(result.layout);
}

struct FlowCase {
  const char* what;
  std::string body;  // inside <Window size="100,50">
  std::vector<std::pair<std::wstring, Rect>> expected;
};

TEST(FrameworkLayout, FlowRules) {
  const FlowCase cases[] = {
      {"flexible spacers share what is left, the last takes the remainder",
       R"(<HorizontalLayout><Control name="a"/><Label name="b" width="31"/><Control name="c"/></HorizontalLayout>)",
       {{L"a", {0, 0, 34, 50}}, {L"b", {34, 0, 65, 50}}, {L"c", {65, 0, 100, 50}}}},
      {"padding is an outer margin in the flow",
       R"(<VerticalLayout><Label name="a" height="10" padding="5,2,3,4"/><Label name="b" height="10"/></VerticalLayout>)",
       {{L"a", {5, 2, 97, 12}}, {L"b", {0, 16, 100, 26}}}},
      {"inset shrinks the inner rectangle",
       R"(<VerticalLayout inset="10,5,10,5"><Label name="a"/></VerticalLayout>)",
       {{L"a", {10, 5, 90, 45}}}},
      {"pos gives the size in the flow",
       R"(<HorizontalLayout><Label name="a" pos="0,0,20,15"/><Label name="b"/></HorizontalLayout>)",
       {{L"a", {0, 0, 20, 15}}, {L"b", {20, 0, 100, 50}}}},
      {"pos with float places the control outside the flow",
       R"(<HorizontalLayout><Label name="a" float="true" pos="7,8,27,18"/><Label name="b"/></HorizontalLayout>)",
       {{L"a", {7, 8, 27, 18}}, {L"b", {0, 0, 100, 50}}}},
      {"hidden children take no room",
       R"(<HorizontalLayout><Label name="a" width="40" visible="false"/><Label name="b"/></HorizontalLayout>)",
       {{L"b", {0, 0, 100, 50}}}},
      {"fixed sizes beyond the room leave flexible ones empty",
       R"(<HorizontalLayout><Label name="a" width="80"/><Control name="s"/><Label name="b" width="30"/></HorizontalLayout>)",
       {{L"a", {0, 0, 80, 50}}, {L"s", {80, 0, 80, 50}}, {L"b", {80, 0, 110, 50}}}},
      {"tab pages fill the tab",
       R"(<TabLayout><Label name="a"/><Label name="b"/></TabLayout>)",
       {{L"a", {0, 0, 100, 50}}}},
  };
  for (const FlowCase& c : cases) {
    SCOPED_TRACE(c.what);
    Ui::OffscreenEnvironment environment;
    Ui::Window window(nullptr);
    auto layout = Build(std::string(R"(<Window size="100,50">)") + c.body + "</Window>");
    ASSERT_NE(layout, nullptr);
    Ui::InstallLayout(window, std::move(*layout));
    ASSERT_TRUE(window.Create(environment, nullptr));
    window.EnsureLayout();
    for (const auto& [name, rect] : c.expected) {
      ASSERT_NE(window.FindControl(name), nullptr);
      EXPECT_EQ(window.FindControl(name)->Position(), rect) << testing::PrintToString(name);
    }
  }
}

TEST(FrameworkLayout, LabelsSizeThemselvesToTheirText) {
  Ui::OffscreenEnvironment environment;
  Ui::Window window(nullptr);
  auto layout = Build(
      R"(<Window size="400,40"><Font id="0" name="微软雅黑" size="18" default="true"/><HorizontalLayout>)"
      R"(<Label name="a" autocalcwidth="true" textpadding="3,0,5,0" text="Talvorin"/><Label name="b" width="20"/>)"
      R"(<Label name="c" height="20"/></HorizontalLayout></Window>)");
  ASSERT_NE(layout, nullptr);
  Ui::InstallLayout(window, std::move(*layout));
  ASSERT_TRUE(window.Create(environment, nullptr));
  auto* a = window.Find<Ui::Label>(L"a");
  auto* c = window.Find<Ui::Label>(L"c");
  if (!window.GetFont(0)->HasFace()) GTEST_SKIP() << "no font face on this system (Wine ships no Windows fonts)";
  const int textWidth = window.GetFont(0)->Measure(L"Talvorin", 0, Ui::kTextSingleLine).cx;
  ASSERT_GT(textWidth, 30);
  window.EnsureLayout();
  EXPECT_EQ(a->Position(), (Rect{0, 0, textWidth + 8, 40}));
  EXPECT_EQ(window.FindControl(L"b")->Position().left, textWidth + 8);
  a->SetText(L"Talvorin Talvorin");
  window.EnsureLayout();
  EXPECT_GT(a->Position().Width(), 2 * textWidth);
  // The way the installer sizes a title label: measured, then fixed.
  c->SetText(L"Talvorin");
  c->SetFixedWidth(c->MeasureText().cx);
  window.EnsureLayout();
  EXPECT_EQ(c->Position().Width(), textWidth);
}

}  // namespace
