// One stall rule for every downloader: a transfer that still trickles, but
// slower than the rule's rate for the rule's time, is given up and retried
// like a silent one, instead of holding the installation for as long as the
// trickle lasts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/installer_settings.h"
#include "download/downloader.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::PackageServer;

class ScopedStallSeconds {
 public:
  explicit ScopedStallSeconds(long seconds) : old_(Installer::TheInstallerSettings().stallSeconds) {
    Installer::TheInstallerSettings().stallSeconds = seconds;
  }
  ~ScopedStallSeconds() { Installer::TheInstallerSettings().stallSeconds = old_; }

 private:
  long old_;
};

TEST(StallRule, ATrickleBelowTheRateIsAStallForEveryDownloader) {
  PackageServer& server = PackageServer::Shared();
  ASSERT_TRUE(server.Started()) << server.Error();
  EXPECT_EQ(DownloadStallRule().bytesPerSecond, 1024);
  ScopedStallSeconds stall(1);
#ifdef _WIN32
  // Type 2 on Windows is the system's own service, with its own time-outs.
  const int types[] = {1, 3};
#else
  const int types[] = {1, 2, 3};
#endif
  for (int type : types) {
    SCOPED_TRACE("type " + std::to_string(type));
    TestSupport::TempDir dir;
    const std::wstring target = dir.File(L"__Package_Talvorin.exe");
    // 512 bytes a second: never silent, yet 1.5 MiB would take 50 minutes.
    const std::string id = PackageServer::NewId("trickle-" + std::to_string(type));
    TestSupport::NotificationRecorder recorder;
    CDownloader* self = nullptr;
    auto downloader = CreateDownloader(
        type, recorder.Callback([&self](const TestSupport::Notification& n) {
          if (n.code == DL_CODE_RETRY) self->Start();
        }),
        Utils::ToWide(server.EntryUrl(id + ";size=1572864;throttle=512"), Utils::kCodePageUtf8), target);
    self = downloader.get();
    downloader->Start();
    bool ended = false;
    for (std::size_t outcomes = 1; !ended && recorder.WaitForOutcomes(outcomes); ++outcomes)
      ended = recorder.CodesWithoutProgress().back() != DL_CODE_RETRY;
    downloader.reset();
    EXPECT_TRUE(ended) << "the trickle was not noticed";
    EXPECT_EQ(recorder.CodesWithoutProgress().back(), DL_CODE_FAIL);
    EXPECT_FALSE(Utils::FileExists(target));
  }
}

}  // namespace
