#include "download/publisher_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "download/download_failure.h"
#include "download/notification_recorder.h"
#include "package_server_fixture.h"
#include "support/authenticode.h"
#include "support/file_system.h"
#include "support/text.h"
#include "test_support.h"
#ifdef _WIN32
#include <windows.h>

#include "signing_root.h"
#endif

namespace {

using TestSupport::NotificationRecorder;
using TestSupport::PackageServer;
using Utils::SignatureCheck;
using Utils::SignatureStatus;

constexpr wchar_t kPublisher[] = L"Talvorin Test Publisher";

std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

TEST(PublisherDecisionTest, OnlyAValidSignatureOfTheNamedPublisherPasses) {
  struct Case {
    const wchar_t* expected;
    SignatureStatus status;
    const wchar_t* signer;
    PublisherDecision decision;
  };
  const Case cases[] = {
      {L"", SignatureStatus::kUnsigned, L"", PublisherDecision::kNotAsked},
      {L"  ", SignatureStatus::kAltered, L"", PublisherDecision::kNotAsked},
      {kPublisher, SignatureStatus::kValid, kPublisher, PublisherDecision::kAccepted},
      {L" Talvorin Test Publisher ", SignatureStatus::kValid, kPublisher, PublisherDecision::kAccepted},
      {kPublisher, SignatureStatus::kValid, L"Talvorin Test Publisher Ltd", PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kValid, L"talvorin test publisher", PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kValid, L"", PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kUnsigned, L"", PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kUntrustedRoot, kPublisher, PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kAltered, kPublisher, PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kInvalid, kPublisher, PublisherDecision::kRefused},
      {kPublisher, SignatureStatus::kNotSupported, L"", PublisherDecision::kIgnored},
  };
  for (const Case& c : cases) {
    SignatureCheck check;
    check.status = c.status;
    check.signer = c.signer;
    EXPECT_EQ(DecidePublisher(c.expected, check), c.decision)
        << "'" << Narrow(c.expected) << "' " << Utils::SignatureStatusKey(c.status) << " '" << Narrow(c.signer) << "'";
  }
}

// The check around a real download from the package server. The verdict is
// handed in: it stands for the system's, which the tests below ask on Windows.
TEST(PublisherCheckTest, HoldsBackTheSuccessUntilTheVerdictAllowsIt) {
  PackageServer& server = PackageServer::Shared();
  ASSERT_TRUE(server.Started()) << server.Error();
  struct Case {
    SignatureStatus status;
    const wchar_t* signer;
    std::int32_t outcome;
  };
  const Case cases[] = {
      {SignatureStatus::kValid, kPublisher, DL_CODE_SUCCESS},
      {SignatureStatus::kNotSupported, L"", DL_CODE_SUCCESS},
      {SignatureStatus::kUnsigned, L"", DL_CODE_FAIL},
      {SignatureStatus::kValid, L"Someone Else", DL_CODE_FAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utils::SignatureStatusKey(c.status));
    TestSupport::TempDir dir;
    const std::wstring target = dir.File(L"__Package_Talvorin.exe");
    const std::wstring url =
        Utils::ToWide(server.EntryUrl(PackageServer::NewId("publisher") + ";size=1200000;seed=5"), Utils::kCodePageUtf8);
    std::wstring checkedPath;
    NotificationRecorder recorder;
    {
      CPublisherCheck source(
          recorder.Callback(), kPublisher, target,
          [&](NotifyCallback callback) { return CreateDownloader(1, std::move(callback), url, target); },
          [&](const std::wstring& path) {
            checkedPath = path;
            SignatureCheck check;
            check.status = c.status;
            check.signer = c.signer;
            check.systemCode = c.status == SignatureStatus::kUnsigned ? 0x800B0100u : 0u;
            return check;
          });
      source.Start();
      ASSERT_TRUE(recorder.WaitForOutcomes(1));
    }
    const std::vector<TestSupport::Notification> all = recorder.All();
    EXPECT_EQ(checkedPath, target) << "the package that would run is the one checked";
    ASSERT_EQ(recorder.CodesWithoutProgress(), (std::vector<std::int32_t>{DL_CODE_START, c.outcome}))
        << Narrow(all.back().text);
    if (c.outcome == DL_CODE_SUCCESS) {
      EXPECT_EQ(all.back().text, kEngineLibCurl);
      EXPECT_TRUE(Utils::FileExists(target));
      continue;
    }
    std::wstring engine;
    const DownloadFailure failure = ParseFailureNotificationText(all.back().text, &engine);
    EXPECT_EQ(engine, kEngineLibCurl);
    EXPECT_EQ(failure.kind, FailureClass::kPublisherRefused);
    EXPECT_EQ(failure.host, kPublisher);
    EXPECT_FALSE(Utils::FileExists(target)) << "a refused package is gone before anyone can run it";
  }
}

#ifdef _WIN32
std::wstring Beside(const wchar_t* name) { return TestSupport::ProgramFolder() + L"\\" + name; }

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// What the system's WinVerifyTrust says of the demo package signed by the
// build's test certificates, before and while the test root is trusted.
TEST(SignedPackageTest, TheSystemJudgesTheDemoPackagesSignature) {
  // Wine's verification accepts a chain whose root nobody trusts; Windows
  // refuses it (docs/platforms.md).
  const SignatureStatus unknownRoot = UnderWine() ? SignatureStatus::kValid : SignatureStatus::kUntrustedRoot;
  struct Case {
    const wchar_t* file;
    SignatureStatus untrusted, trusted;
    const wchar_t* signer;  // of a valid signature
    PublisherDecision decision;  // with the root trusted
  };
  const Case cases[] = {
      {L"talvorin-demo-package.exe", SignatureStatus::kUnsigned, SignatureStatus::kUnsigned, L"",
       PublisherDecision::kRefused},
      {L"talvorin-demo-package-signed.exe", unknownRoot, SignatureStatus::kValid, kPublisher,
       PublisherDecision::kAccepted},
      {L"talvorin-demo-package-altered.exe", SignatureStatus::kAltered, SignatureStatus::kAltered, L"",
       PublisherDecision::kRefused},
      {L"talvorin-demo-package-other-publisher.exe", unknownRoot, SignatureStatus::kValid,
       L"Talvorin Other Publisher", PublisherDecision::kRefused},
  };
  for (const bool trusted : {false, true}) {
    std::unique_ptr<TestSupport::TrustedSigningRoot> root;
    if (trusted) {
      root = std::make_unique<TestSupport::TrustedSigningRoot>();
      ASSERT_EQ(root->Error(), "");
    }
    for (const Case& c : cases) {
      const SignatureCheck check = Utils::CheckAuthenticodeSignature(Beside(c.file));
      const SignatureStatus wanted = trusted ? c.trusted : c.untrusted;
      std::printf("[ measured ] root %s, %s: %s\n", trusted ? "trusted" : "not trusted", Narrow(c.file).c_str(),
                  Narrow(DescribeSignatureCheck(check)).c_str());
      const std::string where = Narrow(c.file) + (trusted ? " with the root trusted" : " without the root");
      EXPECT_STREQ(Utils::SignatureStatusKey(check.status), Utils::SignatureStatusKey(wanted)) << where;
      if (check.status == SignatureStatus::kValid) {
        EXPECT_EQ(check.signer, c.signer) << where;
      }
      if (trusted) {
        EXPECT_EQ(DecidePublisher(kPublisher, check), c.decision) << where;
      }
    }
  }
}
#else
TEST(PublisherCheckTest, ThisSystemDoesNotVerifySignatures) {
  const SignatureCheck check = Utils::CheckAuthenticodeSignature(TestSupport::TestChildPath());
  EXPECT_EQ(check.status, SignatureStatus::kNotSupported);
  EXPECT_EQ(DecidePublisher(kPublisher, check), PublisherDecision::kIgnored);
}
#endif

}  // namespace
