#include "support/file_system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::ScopedEnvironmentVariable;

using TestSupport::TempDir;


std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageAnsi); }

TEST(FileSystem, TellsFilesFromDirectoriesFromNothing) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  const std::wstring file = temp.File(L"plain.txt");
  ASSERT_TRUE(TestSupport::WriteFileBytes(file, "x"));

  struct Case {
    std::wstring path;
    bool isFile;
    bool isDirectory;
  } cases[] = {
      {file, true, false},
      {temp.path(), false, true},
      {temp.path() + Utils::kPathSeparator, false, true},
      {temp.File(L"missing"), false, false},
      {temp.File(L"missing") + Utils::kPathSeparator + L"deeper", false, false},
      {L"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.path));
    EXPECT_EQ(Utils::FileExists(c.path), c.isFile);
    EXPECT_EQ(Utils::DirectoryExists(c.path), c.isDirectory);
  }
}

TEST(FileSystem, MakeDirectoryCreatesOneLevelAndAcceptsAnExistingDirectory) {
  TempDir temp;
  ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(L"occupied"), "x"));
  const std::wstring orphan = temp.File(L"no-parent") + Utils::kPathSeparator + L"child";

  struct Case {
    std::wstring path;
    bool made;
    bool directoryAfterwards;
  } cases[] = {
      {temp.File(L"fresh"), true, true},
      {temp.File(L"fresh"), true, true},  // the second time it exists already
      {temp.File(L"occupied"), false, false},
      {orphan, false, false},
      {L"", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.path));
    EXPECT_EQ(Utils::MakeDirectory(c.path), c.made);
    EXPECT_EQ(Utils::DirectoryExists(c.path), c.directoryAfterwards);
  }
  EXPECT_FALSE(Utils::DirectoryExists(temp.File(L"no-parent")));
}

TEST(FileSystem, MakePrivateDirectoryCreatesOrAcceptsTheUsersOwnFolder) {
  TempDir temp;
  ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(L"occupied"), "x"));
  const std::wstring fresh = temp.File(L"private");
  EXPECT_TRUE(Utils::MakePrivateDirectory(fresh + Utils::kPathSeparator));
  EXPECT_TRUE(Utils::DirectoryExists(fresh));
  EXPECT_TRUE(Utils::MakePrivateDirectory(fresh));  // now it exists
  EXPECT_FALSE(Utils::MakePrivateDirectory(temp.File(L"occupied")));
  EXPECT_FALSE(Utils::MakePrivateDirectory(temp.File(L"no-parent") + Utils::kPathSeparator + L"x"));
#ifndef _WIN32
  struct stat info {};
  ASSERT_EQ(::stat(Narrow(fresh).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
#endif
}

#ifndef _WIN32
TEST(FileSystem, MakePrivateDirectoryRefusesFoldersOthersCanChange) {
  TempDir temp;
  const std::string shared = Narrow(temp.File(L"shared"));
  ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);  // beyond the umask
  const std::string own = Narrow(temp.File(L"own"));
  ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
  const std::string link = Narrow(temp.File(L"link"));
  ASSERT_EQ(::symlink(own.c_str(), link.c_str()), 0);

  struct Case {
    std::string path;
    bool accepted;
  } cases[] = {
      {own, true},
      {own + "/", true},
      {shared, false},
      {shared + "/", false},
      {link, false},
      {link + "/", false},  // the trailing separator must not lead through the link
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utils::MakePrivateDirectory(Utils::ToWide(c.path, Utils::kCodePageAnsi)), c.accepted)
        << c.path;
  }
}
#endif

TEST(FileSystem, TempFolderIsAnExistingDirectoryEndingInASeparator) {
  const std::wstring folder = Utils::TempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(Utils::IsPathSeparator(folder.back()));
  EXPECT_TRUE(Utils::DirectoryExists(folder));
}

TEST(FileSystem, TempFolderFollowsTheEnvironment) {
  TempDir temp;
#ifdef _WIN32
  const char* variable = "TMP";
#else
  const char* variable = "TMPDIR";
#endif
  ScopedEnvironmentVariable redirect(variable, Narrow(temp.path()));
  EXPECT_EQ(Utils::TempFolder(), temp.path() + Utils::kPathSeparator);
}

#ifndef _WIN32
TEST(FileSystem, TempFolderIgnoresARelativeTmpdir) {
  // A relative folder would change with the working directory.
  ScopedEnvironmentVariable redirect("TMPDIR", "relative/folder");
  EXPECT_EQ(Utils::TempFolder(), L"/tmp/");
}
#endif

TEST(FileSystem, PathSeparatorsOfThisSystem) {
  struct Case {
    wchar_t c;
    bool separator;
  } cases[] = {
      {L'/', true},
#ifdef _WIN32
      {L'\\', true},
#else
      {L'\\', false},  // an ordinary file-name character here
#endif
      {L':', false},
      {L'a', false},
      {L'\0', false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utils::IsPathSeparator(c.c), c.separator) << static_cast<int>(c.c);
  }
}

}  // namespace
