#include "ui/window/window_driver.h"

#include <cstdlib>
#include <cwchar>
#include <utility>
#include <vector>
#include <filesystem>

#include "package_server_fixture.h"
#include "support/text.h"
#include "ui/window/installer_window.h"
#include "ui/window/message_box.h"

namespace WindowTest {
namespace {

// "<Tab><Return>" as key codes; nothing when a name is unknown.
std::vector<int> KeysOf(const std::wstring& answer) {
  static const std::pair<const wchar_t*, int> names[] = {
      {L"<Tab>", Ui::Key::kTab}, {L"<Return>", Ui::Key::kReturn}, {L"<Escape>", Ui::Key::kEscape},
      {L"<Space>", Ui::Key::kSpace}};
  std::vector<int> keys;
  std::size_t at = 0;
  while (at < answer.size()) {
    bool known = false;
    for (const auto& [name, key] : names) {
      if (answer.compare(at, std::wcslen(name), name) == 0) {
        keys.push_back(key);
        at += std::wcslen(name);
        known = true;
        break;
      }
    }
    if (!known) return {};
  }
  return keys;
}

}  // namespace

WindowDriver::WindowDriver() {
  // Records and the default folder stay inside this test's folder: on Linux
  // through the XDG folders, on Windows through a records key of its own.
  const std::string base = Utils::ToNarrow(temp_.path(), Utils::kCodePageUtf8);
  configHome_ = std::make_unique<TestSupport::ScopedEnvironmentVariable>("XDG_CONFIG_HOME", base + "/config");
  dataHome_ = std::make_unique<TestSupport::ScopedEnvironmentVariable>("XDG_DATA_HOME", base + "/data");
  // Only a product started in this test's folder counts as running.
  processScope_ = std::make_unique<TestSupport::ScopedEnvironmentVariable>(
      "TALVORIN_PROCESS_SCOPE", Utils::ToNarrow(temp_.path(), Utils::kCodePageAnsi));
  // The uninstaller's copy goes to a cache folder of this test's own, where
  // no other test overwrites it while it runs.
  const std::wstring tempFolder = temp_.File(L"tmp");
  std::filesystem::create_directory(std::filesystem::path(tempFolder));
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) {
    tempFolder_.push_back(std::make_unique<TestSupport::ScopedEnvironmentVariable>(
        name, Utils::ToNarrow(tempFolder, Utils::kCodePageAnsi)));
  }
  recordsKey_ = L"Software\\ZorvanSoft\\TalvorinWindowTest\\" +
                Utils::ToWide(TestSupport::PackageServer::NewId("records"), Utils::kCodePageUtf8);
  // A stuck run ends with its assertions well before the test runner gives up.
  environment_.SetModalPatience(45000);
  environment_.SetIdleHandler([this](Ui::Window& top) { return Idle(top); });
}

WindowDriver::~WindowDriver() = default;

void WindowDriver::Answer(const std::wstring& layout, std::vector<std::wstring> buttons) {
  for (std::wstring& button : buttons) answers_[layout].push_back(std::move(button));
}

std::string WindowDriver::ScreenshotFolder() {
  const char* folder = std::getenv("TALVORIN_SCREENSHOT_DIR");
  return folder != nullptr ? folder : "";
}

bool WindowDriver::Idle(Ui::Window& top) {
  if (auto* dialog = dynamic_cast<Installer::CMessageBoxWnd*>(&top)) {
    ShownDialog shown{dialog->LayoutFile(), L"", L"", main_ != nullptr ? main_->CurrentPage() : -1, L""};
    if (Ui::Control* text = dialog->FindControl(L"textLbl")) shown.text = text->Text();
    if (Ui::Control* caption = dialog->FindControl(L"captionLbl")) shown.caption = caption->Text();
    if (dialog->Focused() != nullptr) shown.focused = dialog->Focused()->Name();
    dialogs_.push_back(shown);
    if (auto action = whileOpen_.find(shown.layout); action != whileOpen_.end() && action->second) action->second();
    std::deque<std::wstring>& answers = answers_[shown.layout];
    std::wstring button = L"closebtn";
    if (!answers.empty()) {
      button = answers.front();
      answers.pop_front();
    }
    Ui::OffscreenHost* host = environment_.HostOf(*dialog);
    const std::string folder = ScreenshotFolder();
    if (host != nullptr && !folder.empty()) {
      std::wstring name = shown.layout.substr(0, shown.layout.find(L'.'));
      host->WritePng(folder + "/run-dialog-" + Utils::ToNarrow(name, Utils::kCodePageUtf8) + ".png");
    }
    if (button.starts_with(L"<")) {
      const std::vector<int> keys = KeysOf(button);
      if (host == nullptr || keys.empty()) dialog->Close(-2);
      for (int key : keys) {
        if (host != nullptr && !dialog->IsClosed()) host->KeyDown(key);
      }
    } else if (host == nullptr || !host->ClickControl(button)) {
      dialog->Close(-2);
    }
    return true;
  }
  auto* main = dynamic_cast<Installer::CMainWnd*>(&top);
  if (main == nullptr) return false;
  main_ = main;
  if (pages_.empty() || pages_.back() != main->CurrentPage()) pages_.push_back(main->CurrentPage());
  Ui::OffscreenHost* host = environment_.HostOf(*main);
  return step_ && host != nullptr && step_(*main, *host);
}

std::optional<int> WindowDriver::Run() {
  Installer::InstallerWindowOptions options;
  options.factory = &environment_;
  options.recordsKey = recordsKey_;
  std::optional<int> code = Installer::RunInstallerWindow(options);
  main_ = nullptr;
  return code;
}

}  // namespace WindowTest
