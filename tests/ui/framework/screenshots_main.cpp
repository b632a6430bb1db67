// Renders the skin's windows offscreen to PNG: the main window's four pages
// and the five dialogs, as the installer shows them.
//   talvorin-ui-screenshots <output folder>
#include <cstdio>
#include <string>

#include "ui/framework/framework_test_support.h"
#include "ui/framework/combo.h"
#include "ui/framework/label.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"

namespace {

bool Write(Ui::OffscreenEnvironment& environment, Ui::Window& window, const std::string& path) {
  environment.RunUntilIdle();
  Ui::OffscreenHost* host = environment.HostOf(window);
  if (host == nullptr || !host->WritePng(path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = true;
  Ui::OffscreenEnvironment environment;

  FrameworkTest::SkinWindow main(L"MainWnd.xml");
  if (!main.Create(environment, nullptr) || !main.BuildError().empty()) {
    std::fprintf(stderr, "the main window did not build\n");
    return 1;
  }
  // The language combo box as the installer fills it, showing the layouts' language.
  if (auto* combo = main.Find<Ui::Combo>(L"languageCombo")) {
    combo->AddItem(L"简体中文");
    combo->SelectItem(0, false);
  }
  for (int page = 0; page < 4; ++page) {
    FrameworkTest::ShowMainPage(main, page);
    for (const wchar_t* name : {L"languageCombo", L"lbLanguage"}) {
      if (Ui::Control* control = main.FindControl(name)) control->SetVisible(page < 2);
    }
    if (page == 1) {
      if (auto* edit = main.Find<Ui::Label>(L"installDirEdit")) edit->SetText(L"C:\\Program Files\\Talvorin");
    }
    if (page == 2) {
      if (auto* bar = main.Find<Ui::Progress>(L"installPrg")) bar->SetValue(45);
      if (auto* text = main.Find<Ui::Label>(L"progressLb")) text->SetText(L"正在安装中:45%，请稍候...");
      environment.AdvanceTime(24 * 7);  // a frame of the animation with some motion in it
    }
    ok = Write(environment, main, folder + "/main-page" + std::to_string(page) + ".png") && ok;
  }

  struct Dialog {
    const wchar_t* layout;
    const char* file;
    const wchar_t* caption;
    const wchar_t* text;
  };
  const Dialog dialogs[] = {
      {L"MessageBox1Wnd.xml", "messagebox1", L"温馨提示", L"安装程序检测到Talvorin\r\n正在运行，请退出程序后再安装"},
      {L"MessageBox2Wnd.xml", "messagebox2", L"温馨提示", L"无效路径"},
      {L"ExitTipWnd.xml", "exit-tip", nullptr, nullptr},
      {L"NetworkTipWnd.xml", "network-tip", nullptr, nullptr},
      {L"InstalledPathTipWnd.xml", "installed-path-tip", nullptr, nullptr},
  };
  for (const Dialog& d : dialogs) {
    FrameworkTest::SkinWindow dialog(d.layout);
    if (!dialog.Create(environment, &main) || !dialog.BuildError().empty()) {
      std::fprintf(stderr, "a dialog did not build\n");
      ok = false;
      continue;
    }
    if (d.caption != nullptr) dialog.FindControl(L"captionLbl")->SetText(d.caption);
    if (d.text != nullptr) dialog.FindControl(L"textLbl")->SetText(d.text);
    ok = Write(environment, dialog, folder + "/" + d.file + ".png") && ok;
  }

  // The start and installing pages as displays of 100, 150 and 200 % show
  // them: laid out in the same units, drawn at the display's pixels.
  for (int percent : {100, 150, 200}) {
    Ui::OffscreenEnvironment scaled;
    scaled.SetDisplayScale(percent / 100.0);
    FrameworkTest::SkinWindow window(L"MainWnd.xml");
    if (!window.Create(scaled, nullptr)) {
      ok = false;
      continue;
    }
    for (int page : {0, 2}) {
      FrameworkTest::ShowMainPage(window, page);
      if (page == 2) {
        if (auto* bar = window.Find<Ui::Progress>(L"installPrg")) bar->SetValue(45);
        if (auto* text = window.Find<Ui::Label>(L"progressLb")) text->SetText(L"正在安装中:45%，请稍候...");
        scaled.AdvanceTime(24 * 7);
      }
      ok = Write(scaled, window, folder + "/scale" + std::to_string(percent) + "-page" + std::to_string(page) + ".png") &&
           ok;
    }
  }
  return ok ? 0 : 1;
}
