#include "support/digest.h"

#include <gtest/gtest.h>

#include "support/text.h"
#include "test_support.h"

namespace {

std::string NarrowPath(const std::wstring& path) { return Utils::ToNarrow(path, Utils::kCodePageAnsi); }

TEST(Digest, FileMd5MatchesRfc1321) {
  TestSupport::TempDir dir;
  struct Case { std::string content; std::string md5; };
  const Case cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // Larger than one read, and not a multiple of it.
      {std::string(300000, 'x'), "d408ed46ebcc326f9e7c6bb9c77af1cd"},
  };
  for (const Case& c : cases) {
    const std::wstring file = dir.File(L"content.bin");
    ASSERT_TRUE(TestSupport::WriteFileBytes(file, c.content));
    EXPECT_EQ(Utils::FileMd5(NarrowPath(file)), c.md5) << c.content.size() << " bytes";
  }
  EXPECT_EQ(Utils::FileMd5(NarrowPath(dir.File(L"missing.bin"))), "");
}

TEST(Digest, Md5FromUrlTakesTheSegmentBeforeTheFileName) {
  struct Case { std::string address, digest; };
  const Case cases[] = {
      {"http://dl.example/0123456789abcdef0123456789abcdef/package.exe",
       "0123456789abcdef0123456789abcdef"},
      {"http://dl.example/a/b/", "b"},
      {"package.exe", ""},
      {"a/package.exe", ""},
      {"/package.exe", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Utils::Md5FromUrl(c.address), c.digest) << c.address;
}

}  // namespace
