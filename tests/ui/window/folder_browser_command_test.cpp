// How the desktop's folder choosers are called and read: every argument
// survives the command-line splitting the child-process launcher applies.
#include "ui/window/folder_browser_command.h"

#include <gtest/gtest.h>

#include "support/command_line_split.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using Installer::FolderChooser;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

TEST(FolderBrowserCommandTest, EveryArgumentReachesTheChooserUnchanged) {
  struct Case {
    FolderChooser chooser;
    std::wstring start;
    std::vector<std::wstring> arguments;  // after the program
  };
  const std::wstring title = L"选择一个文件夹";
  const std::vector<Case> cases = {
      {FolderChooser::kZenity, L"/home/ann/Talvorin",
       {L"--file-selection", L"--directory", L"--title=" + title, L"--filename=/home/ann/Talvorin/"}},
      {FolderChooser::kZenity, L"/srv/a \"b\" c\\d",
       {L"--file-selection", L"--directory", L"--title=" + title, L"--filename=/srv/a \"b\" c\\d/"}},
      {FolderChooser::kZenity, L"/", {L"--file-selection", L"--directory", L"--title=" + title, L"--filename=/"}},
      {FolderChooser::kZenity, L"", {L"--file-selection", L"--directory", L"--title=" + title}},
      {FolderChooser::kKdialog, L"C:\\Program Files\\",
       {L"--title", title, L"--getexistingdirectory", L"C:\\Program Files\\"}},
      {FolderChooser::kKdialog, L"/x\\\"y\\\\", {L"--title", title, L"--getexistingdirectory", L"/x\\\"y\\\\"}},
      {FolderChooser::kKdialog, L"", {L"--title", title, L"--getexistingdirectory"}},
  };
  const std::wstring program = L"/opt/my tools/chooser";
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.start));
    const std::optional<std::wstring> line = Installer::FolderChooserCommandLine(c.chooser, program, title, c.start);
    ASSERT_TRUE(line.has_value());
    std::vector<std::wstring> expected = {program};
    expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(Utils::SplitWindowsCommandLine(*line), expected) << Utf8(*line);
  }
  // A program path with a quote cannot be named on a command line.
  EXPECT_FALSE(Installer::FolderChooserCommandLine(FolderChooser::kZenity, L"/a\"b/zenity", title, L"/").has_value());
}

TEST(FolderBrowserCommandTest, KdeDesktopsAskKdialogFirst) {
  const std::vector<FolderChooser> kdeFirst = {FolderChooser::kKdialog, FolderChooser::kZenity};
  const std::vector<FolderChooser> zenityFirst = {FolderChooser::kZenity, FolderChooser::kKdialog};
  EXPECT_EQ(Installer::FolderChooserOrder(L"KDE"), kdeFirst);
  EXPECT_EQ(Installer::FolderChooserOrder(L"X-Custom:KDE"), kdeFirst);
  EXPECT_EQ(Installer::FolderChooserOrder(L"ubuntu:GNOME"), zenityFirst);
  EXPECT_EQ(Installer::FolderChooserOrder(L"KDEish"), zenityFirst);
  EXPECT_EQ(Installer::FolderChooserOrder(L""), zenityFirst);
  EXPECT_EQ(Installer::FolderChooserProgram(FolderChooser::kZenity), L"zenity");
  EXPECT_EQ(Installer::FolderChooserProgram(FolderChooser::kKdialog), L"kdialog");
}

TEST(FolderBrowserCommandTest, AnAnswerIsAFolderOnlyWhenTheChooserSucceededWithOne) {
  struct Case {
    std::uint32_t exitCode;
    std::wstring output;
    std::optional<std::wstring> folder;
  };
  const std::vector<Case> cases = {
      {0, L"/home/ann/My Programs\n", L"/home/ann/My Programs"},
      {0, L"/no/line/feed", L"/no/line/feed"},
      {0, L"/ends/in/blank \n", L"/ends/in/blank "},
      {1, L"/home/ann\n", std::nullopt},    // cancelled
      {255, L"", std::nullopt},             // no display, say
      {0, L"\n", std::nullopt},
      {0, L"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.output));
    EXPECT_EQ(Installer::ChosenFolder(c.exitCode, c.output), c.folder);
  }
}

TEST(FolderBrowserCommandTest, ChooserStartsInTheNearestFolderThatExists) {
  TestSupport::TempDir temp;
  const std::wstring sep(1, Utils::kPathSeparator);
  EXPECT_EQ(Installer::ExistingStartFolder(temp.path()), temp.path());
  EXPECT_EQ(Installer::ExistingStartFolder(temp.File(L"not yet") + sep + L"Talvorin"), temp.path() + sep);
  EXPECT_EQ(Installer::ExistingStartFolder(temp.File(L"not yet") + sep), temp.path() + sep);
  EXPECT_EQ(Installer::ExistingStartFolder(L"nowhere" + sep + L"Talvorin"), L"");
  EXPECT_EQ(Installer::ExistingStartFolder(L""), L"");
}

}  // namespace
