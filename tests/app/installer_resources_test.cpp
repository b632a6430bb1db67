// The Windows program carries its manifest (administrator rights, common
// controls 6), its icon 145 and the skin archive 147.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

TEST(InstallerResources, ManifestIconAndSkin) {
  const std::wstring program = TestSupport::ProgramFolder() + L"\\TalvorinInstaller.exe";
  HMODULE module = LoadLibraryExW(program.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);

  HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
  ASSERT_NE(bytes, nullptr);
  const std::string text(bytes, SizeofResource(module, manifest));
  EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);

  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(145), MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
  HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(145), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(147), L"ZIPRES"), nullptr);
  FreeLibrary(module);
}

}  // namespace
#endif
