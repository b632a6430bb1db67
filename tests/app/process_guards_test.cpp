#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "app/single_instance.h"
#include "support/child_process.h"
#include "support/file_system.h"
#include "support/system_probes.h"
#include "support/text.h"
#include "test_support.h"

namespace {

std::wstring AppChildPath() {
#ifdef _WIN32
  return TestSupport::ProgramFolder() + L"\\talvorin-app-child.exe";
#else
  return TestSupport::ProgramFolder() + L"/talvorin-app-child";
#endif
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::string FirstLine(Utils::ChildProcess& child) {
  std::string line;
  char c = 0;
  while (child.ReadOutput(&c, 1) == 1 && c != '\n') line += c;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// A name no other run of the tests uses at the same time.
std::wstring UniqueLockName() { return Installer::SingleInstanceName(L"Test" + Utils::NewGuidText()); }

TEST(SingleInstance, NameOfTheProductsLock) {
  EXPECT_EQ(Installer::SingleInstanceName(L"Talvorin"), L"D1A547DB89C0BC61_Installer_Talvorin");
}

TEST(SingleInstance, OneHolderAtATimeAndFreeAfterRelease) {
  const std::wstring name = UniqueLockName();
  auto first = Installer::SingleInstanceLock::Acquire(name);
  ASSERT_TRUE(first);
  EXPECT_FALSE(Installer::SingleInstanceLock::Acquire(name)) << "a second holder in this process";

  // Another process is refused while the lock is held here...
  TestSupport::TempDir dir;
  const std::wstring stop = dir.File(L"stop");
  {
    Utils::ChildProcess child;
    child.Start(Quoted(AppChildPath()) + L" hold-lock " + Quoted(name) + L" " + Quoted(stop));
    EXPECT_EQ(FirstLine(child), "refused");
    ASSERT_TRUE(TestSupport::WriteFileBytes(stop, ""));
    EXPECT_EQ(child.WaitForExit(), 0u);
  }
  // ...and once released, holds it itself and keeps this process out.
  first.reset();
  std::remove(Utils::ToNarrow(stop, Utils::kCodePageAnsi).c_str());
  Utils::ChildProcess child;
  child.Start(Quoted(AppChildPath()) + L" hold-lock " + Quoted(name) + L" " + Quoted(stop));
  EXPECT_EQ(FirstLine(child), "held");
  EXPECT_FALSE(Installer::SingleInstanceLock::Acquire(name));
  ASSERT_TRUE(TestSupport::WriteFileBytes(stop, ""));
  EXPECT_EQ(child.WaitForExit(), 0u);
  EXPECT_TRUE(Installer::SingleInstanceLock::Acquire(name)) << "free again after the holder ended";
}

// A crash reports once through the reporter and still ends the process as a
// crash; the lock of a crashed holder is free at once.
TEST(CrashReporter, ReportsThenLetsTheSystemEndTheProcess) {
  struct Case {
    const char* kind;
    std::uint32_t exitCode;
  };
#ifdef _WIN32
  const std::vector<Case> cases = {{"segv", 0xC0000005u}};
#else
  const std::vector<Case> cases = {{"segv", 128u + SIGSEGV}, {"abort", 128u + SIGABRT}};
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    TestSupport::TempDir dir;
    const std::wstring marker = dir.File(L"marker");
    Utils::ChildProcess child;
    child.Start(Quoted(AppChildPath()) + L" crash " + Quoted(marker) + L" " +
                Utils::ToWide(c.kind, Utils::kCodePageUtf8));
    EXPECT_EQ(child.WaitForExit(), c.exitCode);
    EXPECT_EQ(TestSupport::ReadFileBytes(marker), "reported");
  }

  const std::wstring name = UniqueLockName();
  TestSupport::TempDir dir;
  const std::wstring marker = dir.File(L"marker");
  Utils::ChildProcess child;
  child.Start(Quoted(AppChildPath()) + L" crash-holding " + Quoted(name) + L" " + Quoted(marker));
  EXPECT_NE(child.WaitForExit(), 0u);
  EXPECT_EQ(TestSupport::ReadFileBytes(marker), "reported");
  EXPECT_TRUE(Installer::SingleInstanceLock::Acquire(name)) << "the system released the crashed holder's lock";
}

// The crash is written into the run log by the handler itself, also for a
// stack overflow on a worker thread (which has its own signal stack); on
// Windows a minidump lies beside the log.
TEST(CrashReporter, TheCrashIsInTheRunLog) {
  struct Case {
    const char* kind;
    std::string line;
  };
#ifdef _WIN32
  const std::vector<Case> cases = {{"segv", "crash: the installer ended by exception 0xC0000005\r\n"}};
#else
  const std::vector<Case> cases = {
      {"segv", "crash: the installer ended by signal " + std::to_string(SIGSEGV) + "\r\n"},
      {"overflow-thread", "crash: the installer ended by signal " + std::to_string(SIGSEGV) + "\r\n"},
  };
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    TestSupport::TempDir dir;
    const std::wstring log = dir.File(L"run.log");
    const std::wstring marker = dir.File(L"marker");
    Utils::ChildProcess child;
    child.Start(Quoted(AppChildPath()) + L" crash-logged " + Quoted(log) + L" " + Quoted(marker) + L" " +
                Utils::ToWide(c.kind, Utils::kCodePageUtf8));
    EXPECT_NE(child.WaitForExit(), 0u);
    EXPECT_EQ(TestSupport::ReadFileBytes(marker), "reported");
    const std::string written = TestSupport::ReadFileBytes(log);
    EXPECT_NE(written.find(c.line), std::string::npos) << written;
#ifdef _WIN32
    EXPECT_FALSE(TestSupport::ReadFileBytes(dir.File(L"run.dmp")).empty());
#endif
  }
}

}  // namespace
