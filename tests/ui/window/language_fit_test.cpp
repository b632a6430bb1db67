// Every language on every page and in every dialog: the real main window and
// the real dialogs on the offscreen host, with the shipped texts and the
// fonts the renderer picks on this system. No text may run out of its
// control, no control out of the window, and every character must have a
// glyph in the face that draws it.
//
// With TALVORIN_SCREENSHOT_DIR set, the start page, the custom page and the
// exit question of each language are written there as
// lang-<locale>-page0.png, lang-<locale>-page1.png and lang-<locale>-exit.png.
#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "support/installer_settings.h"
#include "ui/language.h"
#include "support/text.h"
#include "test_support.h"
#include "ui/framework/combo.h"
#include "ui/framework/container.h"
#include "ui/framework/font.h"
#include "ui/framework/label.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/canvas.h"
#include "ui/framework/text_layout.h"
#include "ui/install_progress.h"
#include "ui/skin_package.h"
#include "ui/window/main_wnd.h"
#include "ui/window/message_box.h"
#include "ui/window/window_driver.h"

namespace {

using Installer::CMainWnd;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

bool IsWordCharacter(char32_t c) {
  // Letters and digits of scripts that separate words with spaces; CJK text
  // may break between any two characters.
  if (c >= 0x2E80) return false;
  return std::iswalnum(static_cast<wint_t>(c)) != 0 || (c >= 0xC0 && c < 0x2000);
}

// Why `label`'s text does not fit its control, or "" when it does.
std::string Misfit(Ui::Window& window, Ui::Label& label) {
  const std::wstring& text = label.Text();
  if (text.empty() || !label.IsShown()) return "";
  const Ui::Rect& p = label.Position();
  const Ui::Rect& pad = label.TextPadding();
  const Ui::Rect r{p.left + pad.left, p.top + pad.top, p.right - pad.right, p.bottom - pad.bottom};
  const std::shared_ptr<Ui::Font> font = window.GetFont(label.FontId());
  const unsigned style = label.TextStyle() & ~static_cast<unsigned>(Ui::kTextEndEllipsis);
  const bool single = (style & Ui::kTextSingleLine) != 0;
  const Ui::TextLayout layout = font->Layout(text, single ? 0 : std::max(1, r.Width()), 0, style);
  std::string why;
  if (layout.size.cx > r.Width()) {
    why += " is " + std::to_string(layout.size.cx) + " wide in " + std::to_string(r.Width());
  }
  if (!single && layout.size.cy > r.Height()) {
    why += " takes " + std::to_string(layout.lines.size()) + " lines, " + std::to_string(layout.size.cy) +
           " high in " + std::to_string(r.Height());
  }
  // Where the lines meet in the text: a space, a line end, or a place where
  // CJK text may break; never between two letters of one word.
  const std::u32string all = Ui::ToCodePoints(text);
  std::size_t at = 0;
  for (std::size_t i = 0; i + 1 < layout.lines.size(); ++i) {
    at += layout.lines[i].text.size();
    if (at == 0 || at >= all.size()) break;
    if (IsWordCharacter(all[at - 1]) && IsWordCharacter(all[at])) {
      why += " breaks a word after \"" + Utils::ToNarrow(std::wstring(layout.lines[i].text.begin(),
                                                                      layout.lines[i].text.end()),
                                                        Utils::kCodePageUtf8) + "\"";
    }
    while (at < all.size() && (all[at] == U' ' || all[at] == U'\r' || all[at] == U'\n')) ++at;
  }
  const Ui::Rect client{0, 0, window.Attributes().size.cx, window.Attributes().size.cy};
  if (p.Intersect(client) != p) why += " lies outside the window";
  if (const Ui::Control* parent = label.Parent(); parent != nullptr && p.Intersect(parent->Position()) != p) {
    why += " lies outside its row";
  }
  return why;
}

// Every text control of the window that shows now.
void CollectLabels(Ui::Control* control, std::vector<Ui::Label*>& out) {
  if (control == nullptr || !control->IsVisible()) return;
  if (auto* label = dynamic_cast<Ui::Label*>(control)) out.push_back(label);
  if (Ui::Container* container = control->AsContainer()) {
    for (std::size_t i = 0; i < container->Count(); ++i) CollectLabels(container->ItemAt(i), out);
  }
}

std::string ControlName(const Ui::Label& label) {
  return label.Name().empty() ? "\"" + Utf8(label.Text()) + "\"" : Utf8(label.Name());
}

class LanguageFitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create(environment_, nullptr));
    environment_.RunUntilIdle();
  }
  void TearDown() override {
    window_.Close(1);
    Installer::TheInstallerSettings() = saved_;
  }

  // Lays the window out and reports each text that does not fit.
  void ExpectAllFit(Ui::Window& window, const std::string& where) {
    window.EnsureLayout();
    std::vector<Ui::Label*> labels;
    CollectLabels(window.Root(), labels);
    ASSERT_FALSE(labels.empty()) << where;
    for (Ui::Label* label : labels) {
      const std::string why = Misfit(window, *label);
      EXPECT_EQ(why, "") << where << ": " << ControlName(*label) << " (" << Utf8(label->Text()) << ")";
    }
  }

  void Keep(Ui::Window& window, const std::string& name) {
    const std::string folder = WindowTest::WindowDriver::ScreenshotFolder();
    if (folder.empty()) return;
    environment_.RunUntilIdle();
    Ui::OffscreenHost* host = environment_.HostOf(window);
    ASSERT_NE(host, nullptr);
    EXPECT_TRUE(host->WritePng(folder + "/" + name + ".png"));
  }

  void ShowPage(int page) {
    window_.Find<Ui::TabLayout>(L"mainTabLt")->SelectItem(page);
    environment_.RunUntilIdle();
  }

  Installer::InstallerSettings saved_ = Installer::TheInstallerSettings();
  TestSupport::TempDir temp_;
  Ui::OffscreenEnvironment environment_;
  CMainWnd window_{Ui::SkinPackageReader(), L"Software\\ZorvanSoft\\TalvorinLanguageFit"};
};

TEST_F(LanguageFitTest, EveryTextFitsOnEveryPageAndInEveryDialog) {
  auto* combo = window_.Find<Ui::Combo>(L"languageCombo");
  ASSERT_NE(combo, nullptr) << "the skin has no language combo box";
  ASSERT_EQ(combo->Count(), Installer::kLanguageNames.size());
  for (std::size_t language = 0; language < Installer::kLanguageNames.size(); ++language) {
    const std::string locale = Utf8(Installer::kLanguageNames[language]);
    SCOPED_TRACE(locale);
    ASSERT_TRUE(combo->SelectItem(static_cast<int>(language)));  // as a person chooses it
    ASSERT_EQ(window_.LanguageIndex(), static_cast<int>(language));
    ASSERT_EQ(combo->Text(), Installer::kLanguageNativeNames[language]);

    for (int page = Installer::kPageStart; page <= Installer::kPageFinished; ++page) {
      ShowPage(page);
      if (page == Installer::kPageStart) {
        // The hint shows when the licence is not accepted.
        window_.FindControl(L"tipLbl")->SetVisible(true);
        ExpectAllFit(window_, locale + " page 0");
        window_.FindControl(L"tipLbl")->SetVisible(false);
        Keep(window_, "lang-" + locale + "-page0");
      } else if (page == Installer::kPageInstalling) {
        // Both wordings of the progress line, at their widest.
        for (const Installer::TextRef& wording : {Installer::kTextProgressShortWait, Installer::kTextProgressLongWait}) {
          window_.FindControl(L"progressLb")->SetText(Installer::FormatProgressText(window_.Tr(wording), 100));
          ExpectAllFit(window_, locale + " page 2");
        }
      } else {
        ExpectAllFit(window_, locale + " page " + std::to_string(page));
        if (page == Installer::kPageCustom) Keep(window_, "lang-" + locale + "-page1");
      }
    }
    // Every language's own name fits the combo box.
    ShowPage(Installer::kPageStart);
    for (std::size_t i = 0; i < combo->Count(); ++i) {
      combo->SelectItem(static_cast<int>(i), false);
      ExpectAllFit(window_, locale + " with " + Utf8(combo->ItemText(i)) + " in the combo box");
    }
    combo->SelectItem(static_cast<int>(language), false);

    // The dialogs, with every text the program puts in them.
    struct Shown {
      const wchar_t* layout;
      std::vector<Installer::TextRef> texts;
      Installer::TextRef caption;
    };
    const Shown dialogs[] = {
        {Installer::kMessageBox1, {Installer::kTextProductRunning, {0, L"Talvorin 1.0"}}, Installer::kTextMessageCaption},
        {Installer::kMessageBox2,
         {Installer::kTextInvalidPath, Installer::kTextNoSpace, Installer::kTextPoorNetwork, Installer::kTextInstallFailed,
          Installer::kTextPackageCrashed, Installer::kTextPackageFailed, Installer::kTextPublisherRefused},
         Installer::kTextTipCaption},
        {Installer::kExitTip, {}, {}},
        {Installer::kNetworkTip, {}, {}},
        {Installer::kInstalledPathTip, {}, {}},
    };
    for (const Shown& shown : dialogs) {
      Installer::CMessageBoxWnd dialog(shown.layout);
      dialog.SetTextSource(window_.GetTextSource());
      ASSERT_TRUE(dialog.Create(environment_, &window_)) << Utf8(shown.layout);
      environment_.RunUntilIdle();
      const std::string where = locale + " " + Utf8(shown.layout);
      if (shown.caption.fallback != nullptr) {
        dialog.FindControl(L"captionLbl")->SetText(window_.Tr(shown.caption));
      }
      if (shown.texts.empty()) {
        ExpectAllFit(dialog, where);
        // Numbered texts of the layout are translated: none stays Chinese
        // in a language that is not.
        if (language != 1 && language != 2) {
          EXPECT_NE(dialog.FindControl(L"okBtn")->Text(), dialog.FindControl(L"okBtn")->LayoutText()) << where;
        }
      }
      for (const Installer::TextRef& text : shown.texts) {
        // A publisher's name as long as a real one stands for "%1".
        dialog.FindControl(L"textLbl")->SetText(
            text.id == 0 ? std::wstring(text.fallback)
                         : Installer::FormatText(window_.Tr(text), {L"Talvorin Software Publishing Ltd."}));
        ExpectAllFit(dialog, where + " text " + std::to_string(text.id));
      }
      if (shown.layout == std::wstring(Installer::kExitTip)) Keep(dialog, "lang-" + locale + "-exit");
      dialog.Close(1);
      environment_.RunUntilIdle();
    }
  }
}

TEST_F(LanguageFitTest, EveryCharacterOfEveryLanguageHasAGlyph) {
  // Every character of every text in every language...
  std::set<char32_t> characters;
  for (std::size_t language = 0; language < Installer::kLanguageNames.size(); ++language) {
    Installer::InterfaceTexts texts;
    Installer::LoadLanguage(static_cast<int>(language), L"", &Ui::ReadSkinFile, texts);
    for (int id = 0; id < 1000; ++id) {
      if (std::optional<std::wstring> text = texts.Find(id)) {
        for (char32_t c : Ui::ToCodePoints(*text)) characters.insert(c);
      }
    }
    for (const wchar_t* name : Installer::kLanguageNativeNames) {
      for (char32_t c : Ui::ToCodePoints(name)) characters.insert(c);
    }
  }
  ASSERT_GT(characters.size(), 400u) << "the texts of all fourteen languages";
  characters.erase(U'\r');
  characters.erase(U'\n');
  // ...in each font of the main window's and the dialogs' layouts, as the
  // renderer finds them on this system.
  std::set<std::pair<std::wstring, int>> seen;
  for (int id = 0; id < 8; ++id) {
    const std::shared_ptr<Ui::Font> font = window_.GetFont(id);
    ASSERT_TRUE(font->HasFace()) << "font " << id << " has no face";
    if (!seen.insert({font->Description().name, font->Description().size}).second) continue;
    std::string missing;
    for (char32_t c : characters) {
      if (font->Glyph(c).advance <= 0 && missing.size() < 400) missing += " U+" + std::to_string(c);
    }
    EXPECT_EQ(missing, "") << "font " << Utf8(font->Description().name) << " " << font->Description().size
                           << " lacks glyphs (decimal code points)";
  }
}

}  // namespace
