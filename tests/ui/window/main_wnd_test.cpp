// The installer's main window end to end on the offscreen host: injected
// clicks, the real orchestrator against the package server, the demo package
// as the real setup program, and the funnel events read back from the
// collector.
#include "ui/window/main_wnd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "analytics/analytics_init.h"
#include "analytics/collector_fixture.h"
#include "app/installer_settings.h"
#include "install/install_recorder.h"
#include "install/installation_records.h"
#include "package_server_fixture.h"
#include "support/child_process.h"
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

TEST_F(MainWndTest, PackageFailureIsExplainedAndLeadsBackToTheStartPage) {
  struct Case {
    const char* demo;
    std::wstring shown;
  };
  // "Error=" with nothing after it gives a failure without a message.
  for (const Case& c : {Case{"error=", L"安装失败"}, Case{"fail", L"安装包安装失败"}}) {
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
  EXPECT_EQ(Count(events, "安装失败原因"), 2u);
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
  };
  const std::vector<Case> cases = {
      {"0x10000", L"Offline", L"当前网络环境较差，请在网络通畅时进行安装"},
      {"1", L"bad|name", L"无效路径"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.message));
    Installer::TheInstallerSettings().isCheckNet = true;
    TestSupport::ScopedEnvironmentVariable verdict("TALVORIN_NETWORK_VERDICT", c.verdict);
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
