#include "download/background_md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/digest.h"
#include "support/text.h"
#include "test_support.h"

namespace {

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  unsigned state = 12345;
  for (char& c : bytes) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return bytes;
}

// The digest must equal the one of the whole content however it was handed
// over: a prefix from the file, then pieces of any size, including pieces
// larger than what may be queued at once.
TEST(BackgroundMd5, MatchesTheDigestOfTheWholeContent) {
  const std::string content = Pattern((std::size_t{20} << 20) + 7);
  TestSupport::TempDir dir;
  const std::wstring file = dir.File(L"content.bin");
  ASSERT_TRUE(TestSupport::WriteFileBytes(file, content));
  const std::string path = Utils::ToNarrow(file, Utils::kCodePageAnsi);
  const std::string expected = Utils::FileMd5(path);
  ASSERT_EQ(expected.size(), 32u);

  struct Case {
    const char* label;
    std::size_t prefix;
    std::size_t piece;
  };
  const std::vector<Case> cases = {
      {"pieces only", 0, 16384},
      {"prefix then pieces", 3 * 1048576 + 1, 524288},
      {"whole file as prefix", content.size(), 1},
      {"one piece beyond the queue bound", 0, content.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    BackgroundMd5 md5;
    md5.FeedFilePrefix(path, static_cast<std::int64_t>(c.prefix));
    for (std::size_t at = c.prefix; at < content.size(); at += c.piece)
      md5.Feed(content.data() + at, std::min(c.piece, content.size() - at));
    EXPECT_EQ(md5.Finish(), expected);
  }
}

TEST(BackgroundMd5, AnUnreadablePrefixGivesNoDigest) {
  TestSupport::TempDir dir;
  const std::wstring file = dir.File(L"short.bin");
  ASSERT_TRUE(TestSupport::WriteFileBytes(file, "only a few bytes"));
  {
    BackgroundMd5 md5;
    md5.FeedFilePrefix(Utils::ToNarrow(file, Utils::kCodePageAnsi), 1000);
    md5.Feed("more", 4);
    EXPECT_EQ(md5.Finish(), "") << "a prefix shorter than promised";
  }
  {
    BackgroundMd5 md5;
    md5.FeedFilePrefix(Utils::ToNarrow(dir.File(L"missing.bin"), Utils::kCodePageAnsi), 10);
    EXPECT_EQ(md5.Finish(), "") << "a missing file";
  }
}

}  // namespace
