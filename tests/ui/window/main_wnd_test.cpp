// The installer's main window end to end on the offscreen host: injected
// clicks, the real orchestrator against the package server, the demo package
// as the real setup program, and the funnel events read back from the
// collector.
#include "ui/window/main_wnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include "analytics/analytics_init.h"
#include "analytics/collector_fixture.h"
#include "support/installer_settings.h"
#include "install/install_recorder.h"
#include "install/installation_records.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"
#include "ui/framework/combo.h"
#include "ui/framework/label.h"
#include "ui/framework/progress.h"
#include "ui/window/message_box.h"
#include "ui/window/window_driver.h"

namespace {

using Installer::CMainWnd;
using TestSupport::Collector;
using TestSupport::PackageServer;
using WindowTest::WindowDriver;

const std::wstring kSep(1, Utils::kPathSeparator);

std::wstring Wide(const std::string& text) { return Utils::ToWide(text, Utils::kCodePageUtf8); }
std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

std::wstring PackageUrl(const std::string& options = "") {
  return Wide(PackageServer::Shared().EntryUrl(PackageServer::NewId("window") + ";file=" +
                                               TestSupport::DemoPackageFileName() + options));
}

std::size_t Count(const std::vector<std::string>& names, const std::string& name) {
  return static_cast<std::size_t>(std::count(names.begin(), names.end(), name));
}

void Screenshot(Ui::OffscreenHost& host, const std::string& name) {
  const std::string folder = WindowDriver::ScreenshotFolder();
  if (!folder.empty()) {
    EXPECT_TRUE(host.WritePng(folder + "/" + name + ".png"));
  }
}

// Types a folder into the custom page's edit field as a user does.
void TypeFolder(Ui::OffscreenHost& host, const std::wstring& folder) {
  host.ClickControl(L"installDirEdit");
  host.KeyDown(Ui::Key::kA, {.control = true});
  host.TypeText(folder);
}

class MainWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
    ASSERT_TRUE(Collector::Shared().Started()) << Collector::Shared().Error();
    Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
    settings.downloadUrl = PackageUrl();
    settings.isCheckNet = false;
    settings.insNew = false;
    settings.isEnableAppAnalytics = true;
    // These tests read the window's Chinese wording.
    settings.language = 1;
    Installer::InstallerSettings params;
    params.exeName = L"TalvorinInstaller.exe";
    params.analyticsServerUrl = Wide(Collector::Shared().CollectUrl(eventsId));
    zorvan::analytics::TrackerInitParams tracker = zorvan::analytics::TrackerParamsFromSettings(params);
    tracker.configFileOverride = Utf8(driver.Temp().File(L"analytics.ini"));
    zorvan::analytics::InitAnalyticsWith(tracker);
  }
  void TearDown() override {
    zorvan::analytics::ShutdownAnalytics();
    Installer::TheInstallerSettings() = saved;
  }
  // Flushes the tracker: the events the collector got, in order.
  std::vector<std::string> Events() {
    zorvan::analytics::ShutdownAnalytics();
    return Collector::Shared().EventNames(eventsId);
  }
  // A folder of this test for the custom page.
  std::wstring Chosen(const std::wstring& name) { return driver.Temp().File(name); }

  Installer::InstallerSettings saved = Installer::TheInstallerSettings();
  std::string eventsId = PackageServer::NewId("events");
  WindowDriver driver;
};

TEST_F(MainWndTest, OneClickInstallationEndToEnd) {
  Installer::TheInstallerSettings().downloadUrl = PackageUrl(";throttle=3000000");
  bool clicked = false, closeTried = false, finished = false;
  std::wstring folder;
  std::vector<std::wstring> texts;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !clicked) {
      Screenshot(h, "run-0-start");
      clicked = true;
      folder = w.FindControl(L"installDirEdit")->Text();
      return h.ClickControl(L"defaultInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageInstalling) {
      const std::wstring& text = w.FindControl(L"progressLb")->Text();
      if (texts.empty() || texts.back() != text) texts.push_back(text);
      if (!closeTried && w.Find<Ui::Progress>(L"installPrg")->Value() > 0) {
        closeTried = true;
        Screenshot(h, "run-2-installing");
        // Neither the title buttons nor a close request end an installation.
        EXPECT_FALSE(h.ClickControl(L"closebtn"));
        h.RequestClose();
        EXPECT_FALSE(w.IsClosed());
        return true;
      }
      return false;
    }
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      EXPECT_EQ(w.Find<Ui::Progress>(L"installPrg")->Value(), 100);
      Screenshot(h, "run-3-finished");
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  EXPECT_TRUE(closeTried);
  EXPECT_TRUE(finished);
  EXPECT_EQ(driver.Pages(), (std::vector<int>{0, 2, 3}));
  EXPECT_TRUE(driver.Dialogs().empty());
  for (const std::wstring& text : texts) {
    EXPECT_EQ(text.rfind(L"正在安装中:", 0), 0u) << Utf8(text);
    EXPECT_NE(text.find(L"%，请稍候..."), std::wstring::npos) << Utf8(text);
  }

  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat").size(), 1200000u);
  EXPECT_FALSE(Utils::FileExists(folder + kSep + L"__Package_Talvorin.exe"));
  Installer::InstallationRecords records;
  records.recordsKey = driver.RecordsKey();
  records.Read();
  EXPECT_EQ(records.recordedFolder, folder);
  EXPECT_EQ(records.recordedUninstaller, folder + kSep + L"uninst.ep");

  EXPECT_EQ(Events(), (std::vector<std::string>{"立即安装", "安装中", "下载器启动", "开始下载大包",
                                                "大包下载完毕", "安装成功"}));
#ifdef _WIN32
  // The default folder on Windows is the system's; leave nothing behind.
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(folder), ignored);
#endif
}

TEST_F(MainWndTest, CustomPageHandsTheChosenFolderAndUntickedBoxesToThePackage) {
  const std::wstring chosen = Chosen(L"My Programs");
  bool started = false, finished = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
    if (w.CurrentPage() == Installer::kPageCustom && !started) {
      started = true;
#ifndef _WIN32
      // On Linux the click starts the desktop's chooser, if any, without
      // waiting for it (folder_browser_test.cpp answers one). On Windows it
      // opens the system's folder dialog, which waits for a person.
      h.ClickControl(L"chDirBtn");
#endif
      TypeFolder(h, chosen);
      h.ClickControl(L"createDSCb");
      h.ClickControl(L"createQSCb");
      Screenshot(h, "run-1-custom");
      return h.ClickControl(L"customeInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_TRUE(finished);
  const std::wstring folder = chosen + kSep + L"Talvorin";
  const std::string arguments = TestSupport::ReadFileBytes(folder + kSep + L"setup-arguments.txt");
  EXPECT_NE(arguments.find("\n-dsc=false\n"), std::string::npos) << arguments;
  EXPECT_NE(arguments.find("\n-ssc=false\n"), std::string::npos) << arguments;
  EXPECT_NE(arguments.find(Utf8(folder)), std::string::npos) << arguments;
  Installer::InstallationRecords records;
  records.recordsKey = driver.RecordsKey();
  records.Read();
  EXPECT_EQ(records.recordedFolder, folder);
  const std::vector<std::string> events = Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 3),
            (std::vector<std::string>{"自定义安装", "自定义安装_立即安装", "安装中"}));
  EXPECT_EQ(events.back(), "安装成功");
}

// Presses Tab until `name` has the focus, as a person does who looks for it;
// false when it never comes round.
bool TabTo(Ui::Window& w, Ui::OffscreenHost& h, const std::wstring& name) {
  for (int i = 0; i < 16; ++i) {
    if (w.Focused() != nullptr && w.Focused()->Name() == name) return true;
    h.KeyDown(Ui::Key::kTab);
  }
  return false;
}

std::wstring FocusedName(const Ui::Window& w) { return w.Focused() != nullptr ? w.Focused()->Name() : L""; }

TEST_F(MainWndTest, WholeCustomInstallationByKeyboardAlone) {
  // Paced so that the installing page shows long enough to press keys on it.
  Installer::TheInstallerSettings().downloadUrl = PackageUrl(";throttle=3000000");
  const std::wstring chosen = Chosen(L"Keyboard Folder");
  // The exit question opens twice: Escape answers as its close button,
  // Return takes its primary button ("否"); either way the installer stays.
  driver.Answer(Installer::kExitTip, {L"<Escape>", L"<Return>"});
  enum class Step { kAskToLeave, kAskAgain, kToCustomPage, kFillIn, kInstalling, kFinished, kDone };
  Step step = Step::kAskToLeave;
  std::vector<std::wstring> startFocus;
  bool escapeWhileInstalling = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    const int page = w.CurrentPage();
    switch (step) {
      case Step::kAskToLeave:
        if (page != Installer::kPageStart) return false;
        startFocus.push_back(FocusedName(w));
        // Shift+Tab from the first control reaches the title bar's last button.
        h.KeyDown(Ui::Key::kTab, {.shift = true});
        startFocus.push_back(FocusedName(w));
        step = Step::kAskAgain;
        h.KeyDown(Ui::Key::kReturn);
        return true;
      case Step::kAskAgain:
        step = Step::kToCustomPage;
        h.KeyDown(Ui::Key::kReturn);
        return true;
      case Step::kToCustomPage:
        EXPECT_EQ(driver.Dialogs().size(), 2u);
        EXPECT_TRUE(TabTo(w, h, L"customeBtn"));
        step = Step::kFillIn;
        h.KeyDown(Ui::Key::kReturn);
        return true;
      case Step::kFillIn:
        if (page != Installer::kPageCustom) return false;
        EXPECT_EQ(FocusedName(w), L"installDirEdit");
        h.KeyDown(Ui::Key::kA, {.control = true});
        h.TypeText(chosen);
        EXPECT_TRUE(TabTo(w, h, L"createDSCb"));
        h.KeyDown(Ui::Key::kSpace);
        EXPECT_TRUE(TabTo(w, h, L"createQSCb"));
        h.KeyDown(Ui::Key::kSpace);
        Screenshot(h, "keyboard-custom");
        step = Step::kInstalling;
        // Return on a check box is the page's: its install button.
        h.KeyDown(Ui::Key::kReturn);
        return true;
      case Step::kInstalling:
        if (page == Installer::kPageInstalling && !escapeWhileInstalling) {
          escapeWhileInstalling = true;
          h.KeyDown(Ui::Key::kEscape);
          h.KeyDown(Ui::Key::kReturn);
          EXPECT_FALSE(w.IsClosed());
          return true;
        }
        if (page != Installer::kPageFinished) return false;
        step = Step::kFinished;
        [[fallthrough]];
      case Step::kFinished:
        EXPECT_EQ(FocusedName(w), L"openProduceBtn");
        step = Step::kDone;
        h.KeyDown(Ui::Key::kReturn);
        return true;
      case Step::kDone:
        return false;
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  EXPECT_EQ(step, Step::kDone);
  EXPECT_TRUE(escapeWhileInstalling);
  EXPECT_EQ(startFocus, (std::vector<std::wstring>{L"defaultInstallBtn", L"closebtn"}));
  ASSERT_EQ(driver.Dialogs().size(), 2u);
  for (const WindowTest::ShownDialog& dialog : driver.Dialogs()) {
    EXPECT_EQ(dialog.layout, Installer::kExitTip);
    EXPECT_EQ(dialog.focused, L"cancelBtn");
  }
  EXPECT_EQ(driver.Pages(), (std::vector<int>{0, 1, 2, 3}));

  const std::wstring folder = chosen + kSep + L"Talvorin";
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  const std::string arguments = TestSupport::ReadFileBytes(folder + kSep + L"setup-arguments.txt");
  EXPECT_NE(arguments.find("\n-dsc=false\n"), std::string::npos) << arguments;
  EXPECT_NE(arguments.find("\n-ssc=false\n"), std::string::npos) << arguments;
  const std::vector<std::string> events = Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 3),
            (std::vector<std::string>{"自定义安装", "自定义安装_立即安装", "安装中"}));
  EXPECT_EQ(events.back(), "立即体验");
}

TEST_F(MainWndTest, FailedDownloadRetriedFromTheCustomPageThenPutOff) {
  Installer::TheInstallerSettings().downloadUrl = PackageUrl(";get-status=500");
  const std::wstring chosen = Chosen(L"Retry Folder");
  driver.Answer(Installer::kNetworkTip, {L"okBtn", L"cancelBtn"});
  driver.Answer(Installer::kExitTip, {L"okBtn"});
  bool started = false, closing = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
    if (w.CurrentPage() == Installer::kPageCustom && !started) {
      started = true;
      TypeFolder(h, chosen);
      h.ClickControl(L"createQSCb");
      return h.ClickControl(L"customeInstallBtn");
    }
    const auto& dialogs = driver.Dialogs();
    const auto tips = std::count_if(dialogs.begin(), dialogs.end(),
                                    [](const auto& d) { return d.layout == Installer::kNetworkTip; });
    if (tips == 2 && w.CurrentPage() == Installer::kPageCustom && !closing) {
      closing = true;
      Screenshot(h, "run-1-after-failed-download");
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_EQ(driver.Dialogs().size(), 3u);
  for (int i : {0, 1}) {
    EXPECT_EQ(driver.Dialogs()[i].layout, Installer::kNetworkTip);
    EXPECT_EQ(driver.Dialogs()[i].mainPage, Installer::kPageInstalling);
  }
  EXPECT_EQ(driver.Dialogs()[2].layout, Installer::kExitTip);
  // Both failures came on the installing page (above), and each answer led
  // back to the custom page.
  EXPECT_EQ(driver.Pages().back(), Installer::kPageCustom);
  const std::vector<std::string> events = Events();
  EXPECT_EQ(Count(events, "安装中"), 2u);
  EXPECT_EQ(Count(events, "下载失败原因"), 2u);
  EXPECT_EQ(Count(events, "下载器启动"), 1u);
  EXPECT_FALSE(Utils::FileExists(chosen + kSep + L"Talvorin" + kSep + L"__Package_Talvorin.exe"));
}

#ifdef _WIN32
// A package without the signature "PackagePublisher" asks for (the demo
// package as built is unsigned) never runs: the window says why in a notice
// instead of offering to download the same package again.
TEST_F(MainWndTest, PackageWithoutThePublishersSignatureIsRefusedWithANotice) {
  Installer::TheInstallerSettings().packagePublisher = L"Talvorin Test Publisher";
  driver.Answer(Installer::kExitTip, {L"okBtn"});
  bool clicked = false, closing = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !clicked) {
      clicked = true;
      return h.ClickControl(L"defaultInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageStart && !driver.Dialogs().empty() && !closing) {
      closing = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_EQ(driver.Dialogs().size(), 2u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kMessageBox2);
  EXPECT_EQ(driver.Dialogs()[0].text, L"安装包没有“Talvorin Test Publisher”的有效数字签名，未运行安装包");
  EXPECT_EQ(driver.Dialogs()[0].mainPage, Installer::kPageInstalling);
  EXPECT_EQ(driver.Dialogs()[1].layout, Installer::kExitTip);
  const std::vector<std::string> events = Events();
  EXPECT_EQ(Count(events, "下载失败原因"), 1u);
  EXPECT_EQ(Count(events, "安装成功"), 0u);
}
#endif

// The system downloader fails its three tries; the dialog names the cause,
// and the user's retry runs a new attempt on the same downloader, which
// installs.
TEST_F(MainWndTest, SystemDownloaderFailureIsNamedAndItsRetryInstalls) {
  Installer::TheInstallerSettings().downloadType = 2;
  Installer::TheInstallerSettings().downloadUrl = PackageUrl(";get-status=503;faulty-gets=3");
  const std::wstring chosen = Chosen(L"System Download");
  driver.Answer(Installer::kNetworkTip, {L"okBtn"});
  bool started = false, finished = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
    if (w.CurrentPage() == Installer::kPageCustom && !started) {
      started = true;
      TypeFolder(h, chosen);
      return h.ClickControl(L"customeInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  EXPECT_TRUE(finished);
  ASSERT_EQ(driver.Dialogs().size(), 1u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kNetworkTip);
  EXPECT_NE(driver.Dialogs()[0].text.find(L"503"), std::wstring::npos) << Utf8(driver.Dialogs()[0].text);
  EXPECT_NE(driver.Dialogs()[0].text.find(L"127.0.0.1"), std::wstring::npos) << Utf8(driver.Dialogs()[0].text);
  const std::wstring folder = chosen + kSep + L"Talvorin";
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"talvorin..exe"));
  EXPECT_FALSE(Utils::FileExists(folder + kSep + L"__Package_Talvorin.exe"));
  const std::vector<std::string> events = Events();
  EXPECT_EQ(Count(events, "下载失败原因"), 1u);
  EXPECT_EQ(Count(events, "开始下载大包"), 2u);
  EXPECT_EQ(events.back(), "安装成功");
}

TEST_F(MainWndTest, PackageFailureIsExplainedAndLeadsBackToTheStartPage) {
  struct Case {
    const char* demo;
    std::wstring shown;
  };
  // "Error=" with nothing after it gives a failure without a message.
  // A failure followed by a success: the first outcome counts, once.
  for (const Case& c : {Case{"error=", L"安装失败"}, Case{"fail", L"安装包安装失败"},
                        Case{"finals=Fail+Success", L"安装包安装失败"}}) {
    SCOPED_TRACE(c.demo);
    TestSupport::ScopedEnvironmentVariable demo("TALVORIN_DEMO_PACKAGE", c.demo);
    WindowDriver run;
    run.Answer(Installer::kExitTip, {L"okBtn"});
    bool clicked = false, closing = false;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      if (w.CurrentPage() == Installer::kPageStart && !clicked) {
        clicked = true;
        return h.ClickControl(L"defaultInstallBtn");
      }
      if (w.CurrentPage() == Installer::kPageStart && !run.Dialogs().empty() && !closing) {
        closing = true;
        EXPECT_EQ(w.Find<Ui::Progress>(L"installPrg")->Value(), 0);
        EXPECT_EQ(w.FindControl(L"progressLb")->Text(), L"正在安装中:0%，请稍候...");
        return h.ClickControl(L"closebtn");
      }
      return false;
    });
    EXPECT_EQ(run.Run(), 1);
    ASSERT_EQ(run.Dialogs().size(), 2u);
    EXPECT_EQ(run.Dialogs()[0].layout, Installer::kMessageBox2);
    EXPECT_EQ(run.Dialogs()[0].text, c.shown);
    EXPECT_EQ(run.Dialogs()[0].caption, L"温馨提示");
    EXPECT_EQ(run.Dialogs()[0].mainPage, Installer::kPageInstalling);
    EXPECT_EQ(run.Pages().back(), Installer::kPageStart);
  }
  const std::vector<std::string> events = Events();
  EXPECT_EQ(Count(events, "安装失败原因"), 3u);
  EXPECT_EQ(Count(events, "安装成功"), 0u);
}

// An earlier installation the records point at, made of the demo programs.
std::wstring MakeEarlierInstallation(const std::wstring& folder, const std::wstring& recordsKey) {
  EXPECT_TRUE(Utils::CreateDirectories(folder));
  const std::string demo = TestSupport::ReadFileBytes(TestSupport::DemoPackagePath());
  for (const wchar_t* name : {L"talvorin..exe", L"uninst.ep"}) {
    const std::wstring path = folder + kSep + name;
    EXPECT_TRUE(TestSupport::WriteFileBytes(path, demo));
#ifndef _WIN32
    std::filesystem::permissions(std::filesystem::path(Utf8(path)), std::filesystem::perms::owner_all);
#endif
  }
  EXPECT_TRUE(TestSupport::WriteFileBytes(folder + kSep + L"talvorin.dat", "earlier"));
  Installer::InstallationRecords records;
  records.recordsKey = recordsKey;
  records.installFolder = folder;
  records.reportedUninstaller = folder + kSep + L"uninst.ep";
  records.WriteRecords();
  return folder;
}

TEST_F(MainWndTest, ExistingInstallationByEachAnswer) {
  struct Case {
    const wchar_t* answer;
    bool installs;
  };
  for (const Case& c : {Case{L"okBtn", true}, Case{L"cancelBtn", false}, Case{L"closebtn", false}}) {
    SCOPED_TRACE(Utf8(c.answer));
    WindowDriver run;
    const std::wstring folder = MakeEarlierInstallation(run.Temp().File(L"Talvorin"), run.RecordsKey());
    run.Answer(Installer::kInstalledPathTip, {c.answer});
    bool finished = false;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      EXPECT_TRUE(w.ExistingInstallFound());
      if (w.CurrentPage() == Installer::kPageFinished && !finished) {
        finished = true;
        return h.ClickControl(L"closebtn");
      }
      return false;
    });
    EXPECT_EQ(run.Run(), 1);
    ASSERT_GE(run.Dialogs().size(), 1u);
    EXPECT_EQ(run.Dialogs()[0].layout, Installer::kInstalledPathTip);
    EXPECT_EQ(finished, c.installs);
    // A new installation replaced the earlier one in its folder.
    EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat").size(),
              c.installs ? 1200000u : 7u);
  }
}

// The product of an earlier installation, running until the marker goes.
class RunningProduct {
 public:
  RunningProduct(const std::wstring& folder, const std::wstring& marker) : marker_(marker) {
    EXPECT_TRUE(TestSupport::WriteFileBytes(marker_, "x"));
    product_.Start(L"\"" + folder + kSep + L"talvorin..exe\" \"-stay-while=" + marker_ + L"\"");
    for (int i = 0; i < 200 && Utils::FindProcessId(kProductExecutableName) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~RunningProduct() {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(marker_), ignored);
    product_.WaitForExit();
  }
  bool Runs() const { return Utils::FindProcessId(kProductExecutableName) != 0; }

 private:
  std::wstring marker_;
  Utils::ChildProcess product_;
};

TEST_F(MainWndTest, RunningProductOfAnEarlierInstallationClosesTheWindow) {
  const std::wstring folder = MakeEarlierInstallation(Chosen(L"Talvorin"), driver.RecordsKey());
  RunningProduct product(folder, Chosen(L"product-runs"));
  ASSERT_TRUE(product.Runs());
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_EQ(driver.Dialogs().size(), 1u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kMessageBox1);
  EXPECT_EQ(driver.Dialogs()[0].text, Installer::kRunningProductText);
  const std::vector<int> pages = driver.Pages();
  EXPECT_EQ(std::count(pages.begin(), pages.end(), Installer::kPageInstalling), 0);
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat"), "earlier");
}

TEST_F(MainWndTest, WaitForTheRunningProductCanBeLeft) {
  Installer::TheInstallerSettings().insNew = true;
  const std::wstring folder = MakeEarlierInstallation(Chosen(L"Talvorin"), driver.RecordsKey());
  RunningProduct product(folder, Chosen(L"product-runs"));
  ASSERT_TRUE(product.Runs());
  driver.Answer(Installer::kExitTip, {L"okBtn"});
  bool closing = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    // The installation starts at once and waits for the product; the window
    // keeps running and offers its close button meanwhile.
    if (w.CurrentPage() == Installer::kPageInstalling && w.IsWaitingForProduct() && !closing &&
        h.ClickControl(L"closebtn")) {
      closing = true;
      return true;
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  EXPECT_TRUE(closing);
  ASSERT_EQ(driver.Dialogs().size(), 1u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kExitTip);
  EXPECT_TRUE(product.Runs());
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat"), "earlier");
  EXPECT_EQ(Count(Events(), "开始下载大包"), 0u);
}

}  // namespace

namespace {

// Checks that refuse to start: the window explains and stays on its page,
// ready for another try.
TEST_F(MainWndTest, RefusedStartsStayOnTheCustomPage) {
  struct Case {
    const char* verdict;  // the network check's answer
    std::wstring folder;
    std::wstring message;
    const char* freeBytes = nullptr;  // the free space the folder's volume reports
  };
  const std::vector<Case> cases = {
      {"0x10000", L"Offline", L"当前网络环境较差，请在网络通畅时进行安装"},
      {"1", L"bad|name", L"无效路径"},
      {"1", L"Small", Installer::kNoSpaceText, "1073741823"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.message));
    Installer::TheInstallerSettings().isCheckNet = true;
    TestSupport::ScopedEnvironmentVariable verdict("TALVORIN_NETWORK_VERDICT", c.verdict);
    TestSupport::ScopedEnvironmentVariable freeSpace(
        "TALVORIN_FREE_SPACE_BYTES", c.freeBytes ? std::optional<std::string>(c.freeBytes) : std::nullopt);
    WindowDriver run;
    run.Answer(Installer::kExitTip, {L"okBtn"});
    bool started = false, closing = false;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
      if (w.CurrentPage() == Installer::kPageCustom && !started) {
        started = true;
        TypeFolder(h, run.Temp().File(c.folder));
        return h.ClickControl(L"customeInstallBtn");
      }
      if (started && !run.Dialogs().empty() && !closing) {
        closing = true;
        EXPECT_EQ(w.CurrentPage(), Installer::kPageCustom);
        EXPECT_TRUE(w.FindControl(L"customeInstallBtn")->IsEnabled());
        return h.ClickControl(L"closebtn");
      }
      return false;
    });
    EXPECT_EQ(run.Run(), 1);
    ASSERT_EQ(run.Dialogs().size(), 2u);
    EXPECT_EQ(run.Dialogs()[0].layout, Installer::kMessageBox2);
    EXPECT_EQ(run.Dialogs()[0].text, c.message);
    const std::vector<int> pages = run.Pages();
    EXPECT_EQ(std::count(pages.begin(), pages.end(), Installer::kPageInstalling), 0);
  }
  EXPECT_EQ(Count(Events(), "安装中"), 0u);
}


// A second "install" while the first start is under way (a double click on
// the default button during the network check) starts nothing more.
#ifndef _WIN32  // the default folder on Windows is the system's, shared with other tests
TEST_F(MainWndTest, ADoubleClickDuringTheNetworkCheckStartsOneInstallation) {
  Installer::TheInstallerSettings().isCheckNet = true;
  TestSupport::ScopedEnvironmentVariable verdict("TALVORIN_NETWORK_VERDICT", "0x40");
  bool clicked = false, finished = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !clicked) {
      clicked = true;
      h.ClickControl(L"defaultInstallBtn");
      return h.ClickControl(L"defaultInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  EXPECT_TRUE(finished);
  EXPECT_TRUE(driver.Dialogs().empty());
  const std::vector<std::string> events = Events();
  EXPECT_EQ(Count(events, "立即安装"), 2u);
  EXPECT_EQ(Count(events, "安装中"), 1u);
  EXPECT_EQ(Count(events, "开始下载大包"), 1u);
  EXPECT_EQ(Count(events, "安装成功"), 1u);
}
#endif

// The product ends while the user is asked whether to leave the wait for it:
// "是" leaves without having removed anything, "否" goes on and installs.
TEST_F(MainWndTest, LeavingTheWaitNeverRemovesWithoutInstalling) {
  struct Case {
    const wchar_t* answer;
    bool installs;
  };
  for (const Case& c : {Case{L"okBtn", false}, Case{L"cancelBtn", true}}) {
    SCOPED_TRACE(Utf8(c.answer));
    Installer::TheInstallerSettings().insNew = true;
    WindowDriver run;
    const std::wstring folder = MakeEarlierInstallation(run.Temp().File(L"Talvorin"), run.RecordsKey());
    auto product = std::make_unique<RunningProduct>(folder, run.Temp().File(L"product-runs"));
    ASSERT_TRUE(product->Runs());
    run.WhileOpen(Installer::kExitTip, [&] {
      product.reset();  // the product ends while the question is open
      for (int i = 0; i < 200 && Utils::FindProcessId(kProductExecutableName) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      // Longer than the wait's round: a wait still deciding would start now.
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    });
    run.Answer(Installer::kExitTip, {c.answer});
    bool asked = false, finished = false;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      if (w.CurrentPage() == Installer::kPageInstalling && w.IsWaitingForProduct() && !asked &&
          h.ClickControl(L"closebtn")) {
        asked = true;
        return true;
      }
      if (w.CurrentPage() == Installer::kPageFinished && !finished) {
        finished = true;
        return h.ClickControl(L"closebtn");
      }
      return false;
    });
    EXPECT_EQ(run.Run(), 1);
    EXPECT_TRUE(asked);
    EXPECT_EQ(finished, c.installs);
    // Either the earlier version is still there, or the new one replaced it.
    EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat").size(), c.installs ? 1200000u : 7u);
  }
}

// Values from the package that would break the window: lines ending in CR
// LF, an empty "InstPath=", an empty "Message=", a progress of 50.
TEST_F(MainWndTest, ValuesFromThePackageAreSanitised) {
  TestSupport::ScopedEnvironmentVariable demo(
      "TALVORIN_DEMO_PACKAGE", std::string("crlf,style=AutoStartup,extra=Progress=50|InstPath=|Message=|"
                                           "Message=hello|StartUrl=x"));
  const std::wstring chosen = Chosen(L"Sanitised");
  bool started = false, finished = false;
  std::vector<int> bar;
  std::vector<std::wstring> texts;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
    if (w.CurrentPage() == Installer::kPageCustom && !started) {
      started = true;
      TypeFolder(h, chosen);
      return h.ClickControl(L"customeInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageInstalling) {
      bar.push_back(w.Find<Ui::Progress>(L"installPrg")->Value());
      texts.push_back(w.FindControl(L"progressLb")->Text());
    }
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_TRUE(finished);
  for (int value : bar) EXPECT_LE(value, 100);
  for (const std::wstring& text : texts) {
    EXPECT_EQ(text.find(L"1570"), std::wstring::npos) << Utf8(text);
  }
  ASSERT_EQ(driver.Dialogs().size(), 2u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kMessageBox1);
  EXPECT_EQ(driver.Dialogs()[0].text, Installer::kEmptyPackageMessage);
  EXPECT_EQ(driver.Dialogs()[0].caption, L"消息");
  EXPECT_EQ(driver.Dialogs()[1].text, L"hello");
  // The chosen folder stays recorded (no carriage return, not emptied), and
  // the product named with CR LF was found and started once.
  const std::wstring folder = chosen + kSep + L"Talvorin";
  Installer::InstallationRecords records;
  records.recordsKey = driver.RecordsKey();
  records.Read();
  EXPECT_EQ(records.recordedFolder, folder);
  EXPECT_EQ(records.recordedUninstaller, folder + kSep + L"uninst.ep");
  EXPECT_TRUE(Utils::FileExists(folder + kSep + L"set.ini"));
  for (int i = 0; i < 100 && !Utils::FileExists(folder + kSep + L"product-starts.txt"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"product-starts.txt"), "started\n");
}

// How the product starts by the style the package reports, and the finished
// page's two timers: 10 brings the window back to the front, 11 closes it.
TEST_F(MainWndTest, StartStylesAndTheFinishedPagesTimers) {
  struct Case {
    const char* demo;
    bool clickOpen;           // the finished page's "openProduceBtn"
    const char* starts;       // product-starts.txt afterwards
  };
  const Case cases[] = {
      // Two successes start the product once; timer 11 closes the window.
      {"style=AutoStartup,finals=Success+Success,extra=StartUrl=x|FinsihCloseDetention=300", false, "started\n"},
      // Timer 10 shows the hidden window again; the button starts the product.
      {"style=UserStartup,extra=StartUrl=x|TopShowDetention=1500", true, "started\n"},
      {"style=NonStartup,extra=StartUrl=x", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.demo);
    TestSupport::ScopedEnvironmentVariable demo("TALVORIN_DEMO_PACKAGE", std::string(c.demo));
    WindowDriver run;
    const std::wstring chosen = run.Temp().File(L"Styles");
    bool started = false, hidden = false, clicked = false;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
      if (w.CurrentPage() == Installer::kPageCustom && !started) {
        started = true;
        TypeFolder(h, chosen);
        return h.ClickControl(L"customeInstallBtn");
      }
      if (w.CurrentPage() != Installer::kPageFinished || !c.clickOpen || clicked) return false;
      if (std::string(c.demo).find("TopShowDetention") != std::string::npos) {
        if (!hidden) {
          hidden = true;
          h.Show(false);
          return true;
        }
        if (!h.IsVisible()) return false;  // until timer 10 shows it
      }
      clicked = true;
      return h.ClickControl(L"openProduceBtn");
    });
    EXPECT_EQ(run.Run(), 1);
    EXPECT_EQ(run.Pages().back(), Installer::kPageFinished);
    EXPECT_EQ(clicked, c.clickOpen);
    const std::wstring starts = chosen + kSep + L"Talvorin" + kSep + L"product-starts.txt";
    for (int i = 0; i < 100 && *c.starts != 0 && !Utils::FileExists(starts); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a second start would show by now
    EXPECT_EQ(TestSupport::ReadFileBytes(starts), c.starts);
  }
}

#ifndef _WIN32
// The start address is opened only when it is longer than five characters
// (the opener's attempt is in the log, whether or not a desktop opener exists).
TEST_F(MainWndTest, TheStartAddressIsOpenedOnlyWhenLongerThanFiveCharacters) {
  for (const char* address : {"https://talvorin.invalid/welcome", "abcde"}) {
    SCOPED_TRACE(address);
    TestSupport::ScopedEnvironmentVariable demo(
        "TALVORIN_DEMO_PACKAGE", "style=AutoStartup,extra=StartUrl=" + std::string(address) + "|FinsihCloseDetention=300");
    WindowDriver run;
    std::vector<std::wstring> lines;
    std::mutex linesMutex;
    Utils::LogCapture capture([&](const std::wstring& line) {
      std::lock_guard<std::mutex> lock(linesMutex);
      lines.push_back(line);
    });
    bool started = false;
    run.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
      if (w.CurrentPage() == Installer::kPageStart && !started) return h.ClickControl(L"customeBtn");
      if (w.CurrentPage() == Installer::kPageCustom && !started) {
        started = true;
        TypeFolder(h, run.Temp().File(L"Address"));
        return h.ClickControl(L"customeInstallBtn");
      }
      return false;
    });
    EXPECT_EQ(run.Run(), 1);
    std::lock_guard<std::mutex> lock(linesMutex);
    const bool opened = std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
      return line.find(L"open " + Wide(address)) != std::wstring::npos ||
             line.find(L"opened " + Wide(address)) != std::wstring::npos;
    });
    EXPECT_EQ(opened, std::string(address).size() > 5);
  }
}
#endif

// The earlier version's uninstaller reports failure: the window explains,
// goes back to its page and, with the earlier installation there, closes;
// nothing is downloaded and the earlier version stays.
TEST_F(MainWndTest, AFailedRemovalIsExplainedAndLeavesTheEarlierVersion) {
  for (const char* uninstall : {"fail", "error=in use"}) {
    SCOPED_TRACE(uninstall);
    TestSupport::ScopedEnvironmentVariable demo("TALVORIN_DEMO_UNINSTALL", std::string(uninstall));
    WindowDriver run;
    const std::wstring folder = MakeEarlierInstallation(run.Temp().File(L"Talvorin"), run.RecordsKey());
    run.Answer(Installer::kInstalledPathTip, {L"okBtn"});
    EXPECT_EQ(run.Run(), 1);
    ASSERT_EQ(run.Dialogs().size(), 2u);
    EXPECT_EQ(run.Dialogs()[1].layout, Installer::kMessageBox1);
    EXPECT_EQ(run.Dialogs()[1].text, Installer::kRunningProductText);
    EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"talvorin.dat"), "earlier");
    EXPECT_FALSE(Utils::FileExists(folder + kSep + L"__Package_Talvorin.exe"));
  }
  EXPECT_EQ(Count(Events(), "开始下载大包"), 0u);
}

// The earlier version's uninstaller runs: the start is refused with the
// running-product message, and without an earlier installation the window
// stays on its page.
TEST_F(MainWndTest, ARunningUninstallerRefusesTheStart) {
  const std::wstring folder = Chosen(L"uninstaller");
  ASSERT_TRUE(Utils::CreateDirectories(folder));
  const std::wstring program = folder + kSep + L"Talvorin_un_asa.exe";
  ASSERT_TRUE(TestSupport::WriteFileBytes(program, TestSupport::ReadFileBytes(TestSupport::DemoPackagePath())));
#ifndef _WIN32
  std::filesystem::permissions(std::filesystem::path(Utf8(program)), std::filesystem::perms::owner_all);
#endif
  const std::wstring marker = Chosen(L"uninstaller-runs");
  ASSERT_TRUE(TestSupport::WriteFileBytes(marker, "x"));
  Utils::ChildProcess uninstaller;
  uninstaller.Start(L"\"" + program + L"\" \"-stay-while=" + marker + L"\"");
  for (int i = 0; i < 200 && Utils::FindProcessId(L"Talvorin_un_asa.exe") == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_NE(Utils::FindProcessId(L"Talvorin_un_asa.exe"), 0u);
  driver.Answer(Installer::kExitTip, {L"okBtn"});
  bool clicked = false, closing = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageStart && !clicked) {
      clicked = true;
      return h.ClickControl(L"defaultInstallBtn");
    }
    if (clicked && !driver.Dialogs().empty() && !closing) {
      closing = true;
      EXPECT_EQ(w.CurrentPage(), Installer::kPageStart);
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_EQ(driver.Dialogs().size(), 2u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kMessageBox1);
  EXPECT_EQ(driver.Dialogs()[0].text, Installer::kRunningProductText);
  EXPECT_EQ(driver.Dialogs()[1].layout, Installer::kExitTip);
  const std::vector<int> pages = driver.Pages();
  EXPECT_EQ(std::count(pages.begin(), pages.end(), Installer::kPageInstalling), 0);
  std::filesystem::remove(std::filesystem::path(marker));
  uninstaller.WaitForExit();
  EXPECT_EQ(Count(Events(), "安装中"), 0u);
}

// The language combo box as a person uses it: the window starts in English,
// 日本語 is chosen from the list, and the visible page, the next page and the
// next dialog speak Japanese; the package is told "ja-JP".
TEST_F(MainWndTest, TheComboBoxSwitchesTheWindowAndItsDialogsToJapanese) {
  Installer::TheInstallerSettings().language = 0;
  driver.Answer(Installer::kExitTip, {L"cancelBtn"});
  bool chosen = false, asked = false, finished = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    auto* combo = w.Find<Ui::Combo>(L"languageCombo");
    if (combo == nullptr) {
      ADD_FAILURE() << "no language combo box";
      w.Close(1);
      return true;
    }
    if (w.CurrentPage() == Installer::kPageStart && !chosen) {
      EXPECT_EQ(w.FindControl(L"defaultInstallBtn")->Text(), L"Install now");
      EXPECT_EQ(combo->Text(), L"English");
      if (!combo->IsDropped()) return h.ClickControl(L"languageCombo");
      chosen = true;
      const Ui::Rect& box = combo->Position();
      h.Click({(box.left + box.right) / 2, box.bottom + 1 + 9 * 24 + 12});
      EXPECT_EQ(combo->Text(), L"日本語");
      EXPECT_EQ(w.FindControl(L"defaultInstallBtn")->Text(), L"今すぐインストール");
      EXPECT_EQ(w.FindControl(L"customeBtn")->Text(), L"カスタムインストール");
      return h.ClickControl(L"customeBtn");
    }
    if (w.CurrentPage() == Installer::kPageCustom && !asked) {
      asked = true;
      EXPECT_EQ(w.FindControl(L"lbInstallPath")->Text(), L"インストール先：");
      EXPECT_EQ(w.FindControl(L"createDSCb")->Text(), L"デスクトップにショートカットを作成");
      // Its label grew or shrank to its Japanese text.
      EXPECT_EQ(w.FindControl(L"lbInstallPath")->FixedWidth(), w.Find<Ui::Label>(L"lbInstallPath")->MeasureText().cx);
      h.ClickControl(L"closebtn");  // the exit question, answered "no"
      return h.ClickControl(L"customeInstallBtn");
    }
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_TRUE(finished);
  ASSERT_EQ(driver.Dialogs().size(), 1u);
  EXPECT_EQ(driver.Dialogs()[0].text, L"インストールを終了してもよろしいですか？");
  EXPECT_EQ(driver.Dialogs()[0].caption, L"お知らせ");
  EXPECT_EQ(Installer::TheInstallerSettings().language, 9) << "the choice is kept";
  Installer::InstallationRecords records;
  records.recordsKey = driver.RecordsKey();
  records.Read();
  const std::string arguments = TestSupport::ReadFileBytes(records.recordedFolder + kSep + L"setup-arguments.txt");
  EXPECT_NE(arguments.find("\n-inslang=ja-JP\n"), std::string::npos) << arguments;
}

// An earlier installation made in Japanese: the window starts in Japanese,
// whatever the command line says, asks about the earlier installation in
// Japanese, and the new installation keeps the language.
TEST_F(MainWndTest, AnEarlierJapaneseInstallationPreselectsJapanese) {
  Installer::TheInstallerSettings().language = 5;  // "-language=5", German
  const std::wstring folder = MakeEarlierInstallation(driver.Temp().File(L"Talvorin"), driver.RecordsKey());
  ASSERT_TRUE(TestSupport::WriteFileBytes(folder + kSep + L"config.ini", "[Install]\r\nLanguage=ja-JP\r\n"));
  driver.Answer(Installer::kInstalledPathTip, {L"okBtn"});
  bool finished = false;
  driver.OnIdle([&](CMainWnd& w, Ui::OffscreenHost& h) {
    if (w.CurrentPage() == Installer::kPageFinished && !finished) {
      finished = true;
      EXPECT_EQ(w.Find<Ui::Combo>(L"languageCombo")->CurrentSel(), 9);
      return h.ClickControl(L"closebtn");
    }
    return false;
  });
  EXPECT_EQ(driver.Run(), 1);
  ASSERT_TRUE(finished);
  ASSERT_GE(driver.Dialogs().size(), 1u);
  EXPECT_EQ(driver.Dialogs()[0].layout, Installer::kInstalledPathTip);
  EXPECT_EQ(driver.Dialogs()[0].text, L"このソフトウェアは既にインストールされています。最新バージョンに更新しますか？");
  EXPECT_EQ(TestSupport::ReadFileBytes(folder + kSep + L"config.ini"), "[Install]\nLanguage=ja-JP\n");
}

}  // namespace
