#include "download/download_failure.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <sys/mount.h>
#endif

#include "download/curl_downloader.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "support/file_system.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::NotificationRecorder;
using TestSupport::PackageServer;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

TEST(DownloadFailureTest, LibcurlResultsByClass) {
  const struct {
    int code;
    long status;
    int writeErrno;
    const char* key;
  } cases[] = {
      {CURLE_COULDNT_RESOLVE_HOST, 0, 0, "no-network"},
      {CURLE_COULDNT_CONNECT, 0, 0, "connection-refused"},
      {CURLE_RECV_ERROR, 0, 0, "connection-refused"},
      {CURLE_OPERATION_TIMEDOUT, 0, 0, "timed-out"},
      {CURLE_PEER_FAILED_VERIFICATION, 0, 0, "tls-untrusted"},
      {CURLE_SSL_CONNECT_ERROR, 0, 0, "tls-untrusted"},
      {CURLE_HTTP_RETURNED_ERROR, 503, 0, "http-status"},
      {CURLE_HTTP_RETURNED_ERROR, 407, 0, "proxy-auth"},
      {CURLE_PROXY, 407, 0, "proxy-auth"},
      {CURLE_PROXY, 0, 0, "proxy-refused"},
      {CURLE_COULDNT_RESOLVE_PROXY, 0, 0, "proxy-refused"},
      {CURLE_PARTIAL_FILE, 200, 0, "short-body"},
      {CURLE_WRITE_ERROR, 200, ENOSPC, "disk-full"},
      {CURLE_WRITE_ERROR, 200, EACCES, "not-writable"},
      {CURLE_WRITE_ERROR, 200, 0, "unknown"},
      {CURLE_TOO_MANY_REDIRECTS, 302, 0, "unknown"},
  };
  for (const auto& c : cases) {
    const DownloadFailure failure =
        ClassifyCurlResult(c.code, c.status, "https://user@pkg.example:8443/a/b.exe", L"/srv/x/pkg.exe", c.writeErrno);
    EXPECT_STREQ(FailureClassKey(failure.kind), c.key) << c.code << " " << c.status;
    if (failure.kind == FailureClass::kDiskFull || failure.kind == FailureClass::kNotWritable) {
      EXPECT_EQ(failure.folder, L"/srv/x");
    } else {
      EXPECT_EQ(failure.host, L"pkg.example");
    }
  }
  EXPECT_EQ(HostOf("http://[::1]:80/x"), L"[::1]");
  EXPECT_EQ(HostOf("file:///C:/x.exe"), L"");
}

// What travels in the notification comes back whole, and every class has
// words for a person: with the host, status or folder, and never a bare code.
TEST(DownloadFailureTest, NotificationTextAndWordsForEveryClass) {
  for (int k = 0; k <= static_cast<int>(FailureClass::kPublisherRefused); ++k) {
    DownloadFailure failure;
    failure.kind = static_cast<FailureClass>(k);
    failure.host = L"pkg.example";
    failure.status = 502;
    failure.folder = L"C:\\a|b\\Talvorin";
    const std::wstring text = FailureNotificationText(L"LibCurl", failure);
    std::wstring engine;
    const DownloadFailure back = ParseFailureNotificationText(text, &engine);
    EXPECT_EQ(engine, L"LibCurl");
    EXPECT_EQ(back.kind, failure.kind);
    EXPECT_EQ(back.host, failure.host);
    EXPECT_EQ(back.status, failure.status);
    EXPECT_EQ(back.folder, failure.folder);

    const std::string console = FailureConsoleText(failure);
    const std::wstring window = FailureWindowText(failure);
    SCOPED_TRACE(FailureClassKey(failure.kind));
    EXPECT_EQ(console.find("code"), std::string::npos) << console;
    EXPECT_FALSE(window.empty());
    EXPECT_LE(window.size(), 40u) << Utf8(window) << ": two lines of the network dialog";
    const bool namesHost = failure.kind != FailureClass::kUnknown && failure.kind != FailureClass::kDigestMismatch &&
                           failure.kind != FailureClass::kDigestUnavailable &&
                           failure.kind != FailureClass::kDigestMissing && failure.kind != FailureClass::kDiskFull &&
                           failure.kind != FailureClass::kNotWritable;
    EXPECT_EQ(console.find("pkg.example") != std::string::npos, namesHost) << console;
    EXPECT_EQ(window.find(L"pkg.example") != std::wstring::npos, namesHost) << Utf8(window);
    if (failure.kind == FailureClass::kHttpStatus) {
      EXPECT_NE(console.find("502"), std::string::npos);
      EXPECT_NE(window.find(L"502"), std::wstring::npos);
    }
    if (failure.kind == FailureClass::kDiskFull || failure.kind == FailureClass::kNotWritable) {
      EXPECT_NE(console.find("C:\\a|b\\Talvorin"), std::string::npos);
      EXPECT_NE(window.find(L"Talvorin"), std::wstring::npos);
    }
  }
  // A plain engine name (an older sender, or an empty target) is an unknown failure.
  std::wstring engine;
  EXPECT_EQ(ParseFailureNotificationText(L"URLDownloadToFile", &engine).kind, FailureClass::kUnknown);
  EXPECT_EQ(engine, L"URLDownloadToFile");
}

#ifndef _WIN32
// A full disk is named as such, with its folder, not as a network problem.
// A small memory file system stands for the full disk; mounting one needs
// the rights CI and the developers' machines run with.
TEST(DownloadFailureTest, AFullDiskIsNamedWithItsFolder) {
  ASSERT_TRUE(PackageServer::Shared().Started()) << PackageServer::Shared().Error();
  TestSupport::TempDir dir;
  const std::wstring folder = dir.File(L"small disk");
  ASSERT_TRUE(Utils::CreateDirectories(folder));
  const std::string narrow = Utils::ToNarrow(folder, Utils::kCodePageAnsi);
  if (mount("tmpfs", narrow.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "no right to mount a small file system here: " << std::strerror(errno);
  {
    NotificationRecorder recorder;
    const std::string id = PackageServer::NewId("disk-full");
    CCurlDownloader downloader(recorder.Callback(),
                               Utils::ToWide(PackageServer::Shared().EntryUrl(id + ";size=3000000;seed=5"),
                                             Utils::kCodePageUtf8),
                               folder + L"/__Package_Talvorin.exe");
    downloader.Start();
    EXPECT_TRUE(recorder.WaitForOutcomes(1));
    const TestSupport::Notification last = recorder.All().back();
    EXPECT_EQ(last.code, DL_CODE_FAIL);
    EXPECT_EQ(last.value, CURLE_WRITE_ERROR);
    const DownloadFailure failure = ParseFailureNotificationText(last.text);
    EXPECT_STREQ(FailureClassKey(failure.kind), "disk-full");
    EXPECT_EQ(failure.folder, folder);
    EXPECT_NE(FailureConsoleText(failure).find("small disk"), std::string::npos);
  }
  umount2(narrow.c_str(), MNT_DETACH);
}
#endif

}  // namespace
