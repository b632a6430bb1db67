#include "download/downloader.h"

#include <gtest/gtest.h>

#include <memory>

#include "download/curl_downloader.h"
#include "download/mt_curl_downloader.h"
#include "download/win_downloader.h"
#include "test_support.h"

namespace {

enum class Engine { SingleStream, System, MultiPart };

Engine EngineOf(const CDownloader& downloader) {
  if (dynamic_cast<const CWinDownloader*>(&downloader)) return Engine::System;
  if (dynamic_cast<const CMTCurlDownloader*>(&downloader)) return Engine::MultiPart;
  EXPECT_NE(dynamic_cast<const CCurlDownloader*>(&downloader), nullptr);
  return Engine::SingleStream;
}

TEST(DownloaderSelectionTest, TheDownloadTypeChoosesTheDownloader) {
  const struct {
    std::int32_t type;
    Engine engine;
  } cases[] = {
      {0, Engine::SingleStream}, {1, Engine::SingleStream}, {4, Engine::SingleStream},
      {-1, Engine::SingleStream}, {2, Engine::System},      {3, Engine::MultiPart},
  };
  TestSupport::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    // Never started, so no request leaves the process.
    const std::unique_ptr<CDownloader> downloader =
        CreateDownloader(c.type, [](std::int32_t, double, const wchar_t*) {},
                         L"http://download.talvorin.invalid/software/456", dir.File(L"package.exe"));
    ASSERT_NE(downloader, nullptr);
    EXPECT_EQ(EngineOf(*downloader), c.engine);
  }
}

}  // namespace
