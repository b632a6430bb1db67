#include "install/failure_reasons.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/file_system.h"
#include "test_support.h"

namespace {

TEST(FailureReasonTest, DownloadReasonFieldsInOrder) {
  Installer::DownloadProbe probe;
  probe.connectivity = 0x10000;
  probe.writable = true;
  probe.freeGigabytes = 12.345;
  // The failure's class follows the described fields; the engine stays the message.
  EXPECT_EQ(Installer::DownloadFailureReason(28.9, L"LibCurl|timed-out|h.example|0|", probe),
            L"1.code=28；2.msg=LibCurl；3.缓存磁盘容量=12.35G；4.缓存读写权限=可读；5.服务器连接状态code=65536"
            L"；6.class=timed-out from h.example");
  probe.writable = false;
  probe.freeGigabytes = 0;
  EXPECT_EQ(Installer::DownloadFailureReason(-1.5, L"", probe),
            L"1.code=-1；2.msg=；3.缓存磁盘容量=0.00G；4.缓存读写权限=无权限；5.服务器连接状态code=65536"
            L"；6.class=unknown");
}

TEST(FailureReasonTest, ShortReasonAndItsLimits) {
  EXPECT_EQ(Installer::ShortFailureReason(1000, L"disk full"), L":1.code=1000；2.msg=disk full");
  EXPECT_EQ(Installer::ShortFailureReason(2, L""), L":1.code=2；2.msg=");
  EXPECT_EQ(Installer::ShortFailureReason(0, std::wstring(500, L'x')).size(), 199u);
  EXPECT_EQ(Installer::ReasonCode(std::nan("")), 0);
  EXPECT_EQ(Installer::ReasonCode(1e20), 2147483647);
  EXPECT_EQ(Installer::ReasonCode(-1e20), -2147483647 - 1);
}

TEST(FailureReasonTest, ProbesTestWritingAndDeleteThePartialPackage) {
  TestSupport::ScopedEnvironmentVariable verdict("TALVORIN_NETWORK_VERDICT", std::string("0x20040"));
  TestSupport::TempDir temp;
  const std::wstring package = temp.File(L"__Package_Talvorin.exe");
  ASSERT_TRUE(TestSupport::WriteFileBytes(package, "partial"));
  const Installer::DownloadProbe probe = Installer::ProbeDownloadFailure(package);
  EXPECT_EQ(probe.connectivity, 0x20040u);
  EXPECT_TRUE(probe.writable);
  EXPECT_GT(probe.freeGigabytes, 0.0);
  EXPECT_FALSE(Utils::FileExists(package));
  EXPECT_FALSE(Installer::ProbeDownloadFailure(temp.File(L"no") + L"/such/folder/p.exe").writable);
}

}  // namespace
