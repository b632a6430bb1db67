#include "install/install_folder.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallFolderTest, CharactersNoWindowsPathMayHoldAreRefused) {
  struct Case {
    std::wstring folder;
    bool valid;
  };
  const Case cases[] = {
      {L"C:\\Program Files (x86)\\Talvorin", true}, {L"/opt/Talvorin", true},
      {L"D:/Apps/文件夹", true},                     {L"", false},
      {L"C:\\a\"b", false},                          {L"C:\\a<b", false},
      {L"C:\\a>b", false},                           {L"C:\\a|b", false},
      {L"C:\\a?b", false},                           {L"C:\\a*b", false},
      {L"C:\\a:b", false},                           {L"1:\\a", false},
      {std::wstring(L"C:\\a\x01" L"b"), false},      {L"C:\\a\tb", false},
  };
  for (const Case& c : cases) EXPECT_EQ(Installer::IsValidInstallFolder(c.folder), c.valid) << c.folder;
}

TEST(InstallFolderTest, SameFolderAfterResolvingLevels) {
  struct Case {
    const wchar_t* first;
    const wchar_t* second;
    bool same;
  };
  const Case cases[] = {
      {L"/opt/Talvorin", L"/opt/Talvorin/", true},
      {L"/opt/Talvorin", L"/opt//x/../Talvorin/.", true},
      {L"/opt/Talvorin", L"/opt/Talvorin2", false},
      {L"/opt/Talvorin", L"opt/Talvorin", false},
      {L"/opt/Talvorin", L"", false},
#ifdef _WIN32
      {L"C:\\Program Files\\Talvorin", L"c:/program files/TALVORIN\\", true},
      {L"C:\\T", L"D:\\T", false},
#else
      {L"/opt/Talvorin", L"/opt/talvorin", false},
#endif
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Installer::IsSameFolder(c.first, c.second), c.same) << c.first << L" " << c.second;
  }
}

TEST(InstallFolderTest, CrashStatusesAndParentFolder) {
#ifdef _WIN32
  EXPECT_TRUE(Installer::IsCrashExitCode(0xC0000005u));
  EXPECT_FALSE(Installer::IsCrashExitCode(3));
#else
  EXPECT_TRUE(Installer::IsCrashExitCode(128 + 11));
  EXPECT_TRUE(Installer::IsCrashExitCode(128 + 9));
  EXPECT_FALSE(Installer::IsCrashExitCode(128 + 15));
#endif
  EXPECT_FALSE(Installer::IsCrashExitCode(0));
  EXPECT_FALSE(Installer::IsCrashExitCode(1));
  EXPECT_EQ(Installer::ParentFolder(L"/opt/Talvorin/uninst.ep"), L"/opt/Talvorin");
  EXPECT_EQ(Installer::ParentFolder(L"uninst.ep"), L"");
}

}  // namespace
