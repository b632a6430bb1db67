#include "support/system_probes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/child_process.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"

namespace {

using TestSupport::ScopedEnvironmentVariable;

using TestSupport::TempDir;
namespace fs = std::filesystem;


std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageAnsi); }

constexpr std::uint32_t High(std::uint32_t verdict) { return verdict >> 16; }
constexpr std::uint32_t Low(std::uint32_t verdict) { return verdict & 0xFFFF; }

// ---- network ---------------------------------------------------------------

TEST(NetworkVerdict, ComposesFlagsAndVerdict) {
  using namespace Utils;
  struct Case {
    bool available;
    std::uint32_t flags;
    bool internet;
    std::uint32_t expected;
  } cases[] = {
      // The system cannot be asked: reads as connected, nothing else.
      {false, kConnectivityIpv4Internet, true, 0},
      {false, 0, false, 0},
      // Nothing at all.
      {true, kConnectivityDisconnected, false, 1u << 16},
      {true, kConnectivityDisconnected, true, 1u << 16},
      // A network, but no internet.
      {true, kConnectivityIpv4LocalNetwork, false, (2u << 16) | 0x20},
      {true, kConnectivityIpv4Subnet | kConnectivityIpv6NoTraffic, false, (2u << 16) | 0x12},
      // The internet.
      {true, kConnectivityIpv4Internet, true, 0x40},
      {true, kConnectivityIpv4Internet | kConnectivityIpv6Internet, true, 0x440},
      // Stray high bits must not pose as a verdict.
      {true, 0x30000u | kConnectivityIpv4Internet, true, 0x40},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeNetworkVerdict(c.available, c.flags, c.internet), c.expected)
        << c.available << " " << std::hex << c.flags << " " << c.internet;
  }
}

TEST(NetworkVerdict, EnvironmentOverrideTakesOnlyWholeNumbers) {
  struct Case {
    std::optional<std::string> value;
    std::optional<std::uint32_t> expected;
  } cases[] = {
      {std::nullopt, std::nullopt},
      {"0", 0u},
      {"131072", 0x20000u},
      {"0x20040", 0x20040u},
      {"0X1ffff", 0x1FFFFu},
      {"4294967295", 0xFFFFFFFFu},
      {"0xFFFFFFFF", 0xFFFFFFFFu},
      {"", std::nullopt},
      {"0x", std::nullopt},
      {"offline", std::nullopt},
      {"2 ", std::nullopt},
      {" 2", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {"12ab", std::nullopt},
      {"0x1g", std::nullopt},
      {"4294967296", std::nullopt},
      {"0x100000000", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    ScopedEnvironmentVariable variable("TALVORIN_NETWORK_VERDICT", c.value);
    EXPECT_EQ(Utils::NetworkVerdictOverride(), c.expected);
  }
}

// COM for the calling thread, as the window's network worker has it.
class ComScope {
 public:
  ComScope() {
#ifdef _WIN32
    initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
#endif
  }
  ~ComScope() {
#ifdef _WIN32
    if (initialized_) CoUninitialize();
#endif
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  [[maybe_unused]] bool initialized_ = false;
};

TEST(NetworkVerdict, CheckNetworkAnswersTheOverrideInsteadOfTheSystem) {
  ComScope com;
  for (const char* forced : {"65536", "0x20020", "0"}) {
    ScopedEnvironmentVariable variable("TALVORIN_NETWORK_VERDICT", std::string(forced));
    EXPECT_EQ(Utils::CheckNetwork(), *Utils::NetworkVerdictOverride()) << forced;
  }
}

TEST(NetworkVerdict, LiveAnswerIsConsistent) {
  ComScope com;
  ScopedEnvironmentVariable variable("TALVORIN_NETWORK_VERDICT", std::nullopt);
  const std::uint32_t verdict = Utils::CheckNetwork();
  const std::uint32_t internetBits = Utils::kConnectivityIpv4Internet | Utils::kConnectivityIpv6Internet;
  switch (High(verdict)) {
    case Utils::kNetworkNone:
      EXPECT_EQ(Low(verdict), 0u);
      break;
    case Utils::kNetworkNoInternet:
      EXPECT_NE(Low(verdict), 0u);
      EXPECT_EQ(Low(verdict) & internetBits, 0u);
      break;
    case Utils::kNetworkConnected:
      // Either nobody could be asked (no flags) or the internet is reachable.
      EXPECT_TRUE(Low(verdict) == 0 || (Low(verdict) & internetBits) != 0) << std::hex << verdict;
      break;
    default:
      ADD_FAILURE() << "verdict " << std::hex << verdict;
  }
}

// ---- disk space ----------------------------------------------------------

TEST(ProbeFreeSpace, ReportsTheVolumeOfAnExistingFolder) {
  TempDir temp;
  Utils::HardDiskManager disk;
  ASSERT_TRUE(disk.CheckFreeSpace(temp.path()));
  EXPECT_GT(disk.totalBytes, 0u);
  EXPECT_GE(disk.totalBytes, disk.totalFreeBytes);
  EXPECT_GE(disk.totalFreeBytes, disk.freeBytesAvailable);
}

TEST(ProbeFreeSpace, MissingFolderFailsWithTheSystemCodeInTheLog) {
  TempDir temp;
  std::vector<std::wstring> lines;
  Utils::HardDiskManager disk;
  {
    Utils::LogCapture capture([&lines](const std::wstring& line) { lines.push_back(line); });
    EXPECT_FALSE(disk.CheckFreeSpace(temp.File(L"missing") + Utils::kPathSeparator + L"deeper"));
  }
  EXPECT_EQ(disk.totalBytes, 0u);
  EXPECT_EQ(disk.totalFreeBytes, 0u);
  EXPECT_EQ(disk.freeBytesAvailable, 0u);

  const std::wstring marker = L"HardDiskManager::CheckFreeSpace FAIL code=";
  int matches = 0;
  for (const std::wstring& line : lines) {
    const std::size_t at = line.find(marker);
    if (at == std::wstring::npos) continue;
    ++matches;
    const std::wstring code = line.substr(at + marker.size());
    ASSERT_FALSE(code.empty());
    EXPECT_TRUE(std::iswdigit(code[0])) << Narrow(line);
    EXPECT_GT(std::wcstol(code.c_str(), nullptr, 10), 0) << Narrow(line);
  }
  EXPECT_EQ(matches, 1);
}

TEST(ProbeFreeSpace, EnvironmentOverrideTakesOnlyWholeNumbers) {
  struct Case {
    std::optional<std::string> value;
    std::optional<std::uint64_t> expected;
  } cases[] = {
      {std::nullopt, std::nullopt},
      {"0", 0u},
      {"1073741823", 1073741823u},
      {"0x40000000", 1ull << 30},
      {"18446744073709551615", UINT64_MAX},
      {"", std::nullopt},
      {"1 GiB", std::nullopt},
      {"-1", std::nullopt},
      {"18446744073709551616", std::nullopt},
      {"0x10000000000000000", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    ScopedEnvironmentVariable variable("TALVORIN_FREE_SPACE_BYTES", c.value);
    EXPECT_EQ(Utils::FreeSpaceOverride(), c.expected);
  }
}

// The override replaces the free space of a volume that answered; a folder
// the system cannot answer for still fails, whatever the override says.
TEST(ProbeFreeSpace, OverrideReplacesTheFreeSpaceOfARealFolder) {
  TempDir temp;
  Utils::HardDiskManager real;
  ASSERT_TRUE(real.CheckFreeSpace(temp.path()));
  ASSERT_GT(real.totalBytes, 4096u);

  struct Case {
    std::uint64_t forced;
    std::uint64_t expectedTotal;
  } cases[] = {
      {4096, real.totalBytes},
      {0, real.totalBytes},
      // More free than the volume holds: the volume grows with it, so that
      // the counts never contradict each other.
      {real.totalBytes + 1, real.totalBytes + 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.forced);
    ScopedEnvironmentVariable variable("TALVORIN_FREE_SPACE_BYTES", std::to_string(c.forced));
    Utils::HardDiskManager disk;
    ASSERT_TRUE(disk.CheckFreeSpace(temp.path()));
    EXPECT_EQ(disk.freeBytesAvailable, c.forced);
    EXPECT_EQ(disk.totalFreeBytes, c.forced);
    EXPECT_EQ(disk.totalBytes, c.expectedTotal);

    Utils::HardDiskManager missing;
    EXPECT_FALSE(missing.CheckFreeSpace(temp.File(L"missing") + Utils::kPathSeparator + L"deeper"));
    EXPECT_EQ(missing.freeBytesAvailable, 0u);
  }
}

// ---- identifiers ---------------------------------------------------------

TEST(GuidText, FormatsTheFieldsOfAGuidInMemoryOrder) {
  // Data1 0x12345678, Data2 0x9ABC, Data3 0xCDEF (all little-endian), Data4.
  const unsigned char bytes[16] = {0x78, 0x56, 0x34, 0x12, 0xBC, 0x9A, 0xEF, 0xCD,
                                   0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  EXPECT_EQ(Utils::FormatGuidText(bytes), L"123456789ABCcdef0123456789ABCDEF");
  const unsigned char zeros[16] = {};
  EXPECT_EQ(Utils::FormatGuidText(zeros), std::wstring(32, L'0'));
}

TEST(GuidText, NewIdentifiersAreRandomGuidsInTheFixedForm) {
  std::set<std::wstring> seen;
  for (int i = 0; i < 16; ++i) {
    const std::wstring text = Utils::NewGuidText();
    ASSERT_EQ(text.size(), 32u) << Narrow(text);
    // "%08X%04X%04x%02X...": the third group, the 13th to 16th character, is
    // the only lower-case one.
    for (std::size_t at = 0; at < text.size(); ++at) {
      const wchar_t c = text[at];
      const bool lowerGroup = at >= 12 && at < 16;
      const bool ok = (c >= L'0' && c <= L'9') ||
                      (lowerGroup ? (c >= L'a' && c <= L'f') : (c >= L'A' && c <= L'F'));
      EXPECT_TRUE(ok) << Narrow(text) << " at " << at;
    }
    // A random (version 4) GUID of the usual variant.
    EXPECT_EQ(text[12], L'4') << Narrow(text);
    EXPECT_NE(std::wstring(L"89AB").find(text[16]), std::wstring::npos) << Narrow(text);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 16u);
}

// ---- directories ---------------------------------------------------------

TEST(ProbeDirectories, CreateDirectoriesMakesEveryLevel) {
  for (const bool trailingSeparator : {false, true}) {
    SCOPED_TRACE(trailingSeparator ? "with trailing separator" : "without trailing separator");
    TempDir temp;
    const std::wstring first = temp.File(L"one");
    const std::wstring second = first + Utils::kPathSeparator + L"two";
    const std::wstring third = second + Utils::kPathSeparator + L"three";
    const std::wstring path = trailingSeparator ? third + Utils::kPathSeparator : third;

    EXPECT_TRUE(Utils::CreateDirectories(path));
    EXPECT_TRUE(Utils::DirectoryExists(first));
    EXPECT_TRUE(Utils::DirectoryExists(second));
    EXPECT_TRUE(Utils::DirectoryExists(third));
    // Everything exists now; asking again is no failure.
    EXPECT_TRUE(Utils::CreateDirectories(path));
  }
}

TEST(ProbeDirectories, CreateDirectoriesFailsWhereAFileStandsInTheWay) {
  TempDir temp;
  ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(L"file"), "x"));
  struct Case {
    std::wstring path;
  } cases[] = {
      {temp.File(L"file")},
      {temp.File(L"file") + Utils::kPathSeparator},
      {temp.File(L"file") + Utils::kPathSeparator + L"below"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Utils::CreateDirectories(c.path)) << Narrow(c.path);
  }
  EXPECT_FALSE(Utils::CreateDirectories(L""));
}

TEST(ProbeDirectories, CreateDirectoriesRefusesMoreThan260CharactersUntouched) {
  TempDir temp;
  const std::wstring fresh = temp.File(L"fresh");
  std::wstring path = fresh;
  while (path.size() < 261) {
    path += Utils::kPathSeparator;
    path += std::wstring(std::min<std::size_t>(60, 261 - path.size()), L'd');
  }
  if (Utils::IsPathSeparator(path.back())) path.back() = L'e';  // 261 exactly, one name longer
  ASSERT_EQ(path.size(), 261u);

  EXPECT_FALSE(Utils::CreateDirectories(path));
  EXPECT_FALSE(Utils::DirectoryExists(fresh));
  EXPECT_FALSE(Utils::FileExists(fresh));
}

// The temporary folder is redirected to one of the test's own, so that a cache
// folder another user left in the shared one cannot decide the outcome.
TEST(ProbeDirectories, CacheFolderIsMadeOneLevelDeepInTheTemporaryFolder) {
#ifdef _WIN32
  const char* variable = "TMP";
#else
  const char* variable = "TMPDIR";
#endif
  TempDir temp;
  const std::wstring expected =
      temp.path() + Utils::kPathSeparator + L"~ZorvanTemp.92482B06FB471E17" + Utils::kPathSeparator;
  {
    ScopedEnvironmentVariable redirect(variable, Narrow(temp.path()));
    ASSERT_FALSE(Utils::DirectoryExists(expected));
    ASSERT_EQ(Utils::TempFolder(), temp.path() + Utils::kPathSeparator);
    EXPECT_EQ(Utils::GetCacheFolder(), expected);
    EXPECT_TRUE(Utils::DirectoryExists(expected));
    EXPECT_TRUE(Utils::IsPathSeparator(expected.back()));
    EXPECT_EQ(Utils::GetCacheFolder(), expected);  // found the second time
  }
  {
    // The temporary folder itself is not made: no cache folder then.
    ScopedEnvironmentVariable redirect(variable, Narrow(temp.File(L"gone")));
    EXPECT_EQ(Utils::GetCacheFolder(), L"");
    EXPECT_FALSE(Utils::DirectoryExists(temp.File(L"gone")));
  }
}

#ifndef _WIN32
TEST(ProbeDirectories, CacheFolderPlantedByAnotherHandIsNotUsed) {
  TempDir temp;
  ScopedEnvironmentVariable redirect("TMPDIR", Narrow(temp.path()));
  const std::string planted = Narrow(temp.File(L"~ZorvanTemp.92482B06FB471E17"));
  ASSERT_EQ(::mkdir(planted.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(planted.c_str(), 0777), 0);
  EXPECT_EQ(Utils::GetCacheFolder(), L"");
}

// A file system mounted noexec for as long as it lives (a tmpfs; mounting
// needs the right to, which root has).
class NoexecMount {
 public:
  explicit NoexecMount(const std::wstring& folder) : folder_(Narrow(folder)) {
    ::mkdir(folder_.c_str(), 0700);
    const std::string command = "mount -t tmpfs -o noexec,size=4m tmpfs '" + folder_ + "' 2>/dev/null";
    mounted_ = std::system(command.c_str()) == 0;
  }
  ~NoexecMount() {
    if (mounted_) (void)!std::system(("umount '" + folder_ + "'").c_str());
  }
  bool Mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

// On a temporary folder mounted noexec, the copies that must run go to the
// user's cache folder; with that one noexec too there is none.
TEST(ProbeDirectories, CacheFolderAvoidsAFileSystemMountedNoexec) {
  TempDir temp;
  NoexecMount tmp(temp.File(L"tmp"));
  if (!tmp.Mounted()) GTEST_SKIP() << "no right to mount a file system here";
  EXPECT_FALSE(Utils::FolderAllowsPrograms(temp.File(L"tmp")));
  EXPECT_TRUE(Utils::FolderAllowsPrograms(temp.path()));
  ScopedEnvironmentVariable redirect("TMPDIR", Narrow(temp.File(L"tmp")));
  {
    ScopedEnvironmentVariable cache("XDG_CACHE_HOME", Narrow(temp.File(L"cache")));
    EXPECT_EQ(Utils::GetCacheFolder(), temp.File(L"cache") + L"/~ZorvanTemp.92482B06FB471E17/");
  }
  NoexecMount cacheMount(temp.File(L"cache-noexec"));
  ASSERT_TRUE(cacheMount.Mounted());
  ScopedEnvironmentVariable cache("XDG_CACHE_HOME", Narrow(temp.File(L"cache-noexec")));
  std::vector<std::wstring> lines;
  {
    Utils::LogCapture capture([&](const std::wstring& line) { lines.push_back(line); });
    EXPECT_EQ(Utils::GetCacheFolder(), L"");
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find(L"noexec"), std::wstring::npos);
}
#endif

// ---- accounts and sessions -------------------------------------------------

TEST(ProbeAccounts, UnknownAccountIsNoAdministrator) {
  EXPECT_FALSE(Utils::IsAdminAccount(L"talvorin-no-such-user-7f3a"));
  EXPECT_FALSE(Utils::IsAdminAccount(L""));
}

TEST(ProbeAccounts, ActiveSessionUserReplacesTheOutputWithAName) {
  std::wstring user = L"\x1F\x1F sentinel";
  if (Utils::GetActiveSessionUser(user)) {
    EXPECT_FALSE(user.empty());
    EXPECT_EQ(user.find(L'\x1F'), std::wstring::npos);
  } else {
    EXPECT_EQ(user, L"\x1F\x1F sentinel");
  }
#ifndef _WIN32
  // Here the account database always knows the test's own user.
  EXPECT_NE(user, L"\x1F\x1F sentinel");
#endif
}

#ifndef _WIN32
TEST(ProbeAccounts, RunAsAdminMeansEffectiveRoot) {
  EXPECT_EQ(Utils::IsRunAsAdmin(), geteuid() == 0);
}

TEST(ProbeAccounts, RootIsAnAdministratorAndNobodyIsNot) {
  EXPECT_TRUE(Utils::IsAdminAccount(L"root"));
  EXPECT_FALSE(Utils::IsAdminAccount(L"nobody"));
}

TEST(ProbeAccounts, ActiveSeatUserComesFromLogindSessionRecords) {
  struct Record {
    std::wstring file;
    std::string content;
  };
  struct Case {
    const char* name;
    std::vector<Record> records;
    std::wstring expected;
  } cases[] = {
      {"remote session without a seat is skipped",
       {{L"c1", "UID=1000\nUSER=remote\nACTIVE=1\nSTATE=active\n"},
        {L"2", "# private\nUID=1001\nUSER=console\nSEAT=seat0\nACTIVE=1\nSTATE=active\n"}},
       L"console"},
      {"inactive sessions are skipped",
       {{L"3", "USER=waiting\nSEAT=seat0\nACTIVE=0\nSTATE=online\n"},
        {L"4", "USER=closing\nSEAT=seat0\nACTIVE=0\nSTATE=closing\n"}},
       L""},
      {"STATE=active alone counts",
       {{L"5", "USER=stateonly\nSEAT=seat0\nSTATE=active\n"}},
       L"stateonly"},
      {"seat0 wins over another seat",
       {{L"6", "USER=second-seat\nSEAT=seat1\nACTIVE=1\n"},
        {L"7", "USER=first-seat\nSEAT=seat0\nACTIVE=1\n"},
        {L"8", "USER=also-second\nSEAT=seat1\nACTIVE=1\n"}},
       L"first-seat"},
      {"another seat when seat0 is idle",
       {{L"9", "USER=idle\nSEAT=seat0\nACTIVE=0\n"},
        {L"10", "USER=elsewhere\nSEAT=seat1\nACTIVE=1\n"}},
       L"elsewhere"},
      {"a record naming only the uid",
       {{L"11", "UID=0\nSEAT=seat0\nACTIVE=1\n"}},
       L"root"},
      {"reference files are no records",
       {{L"12.ref", "USER=ghost\nSEAT=seat0\nACTIVE=1\n"}},
       L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    for (const Record& record : c.records) {
      ASSERT_TRUE(TestSupport::WriteFileBytes(temp.File(record.file), record.content));
    }
    EXPECT_EQ(Utils::ActiveSeatUserFromSessions(Narrow(temp.path())), c.expected);
  }
  EXPECT_EQ(Utils::ActiveSeatUserFromSessions("/nonexistent/talvorin/sessions"), L"");
}
#endif

// ---- processes -------------------------------------------------------------

// The test child copied under a name nobody else runs; longer than the 15
// bytes Linux keeps of a process's short name, so that only the executable's
// full name can match.
std::wstring NewChildName() {
  std::random_device random;
  std::wstring name = L"talvorin-probe-child-" + std::to_wstring(random()) + std::to_wstring(random());
#ifdef _WIN32
  name += L".exe";
#endif
  return name;
}

std::wstring CopyTestChildAs(const std::wstring& folder, const std::wstring& name) {
  const std::wstring path = folder + Utils::kPathSeparator + name;
  std::error_code error;
  fs::copy_file(fs::path(TestSupport::TestChildPath()), fs::path(path), error);
  return error ? std::wstring() : path;
}

std::wstring CopyTestChild(const TempDir& temp, std::wstring& name) {
  name = NewChildName();
  return CopyTestChildAs(temp.path(), name);
}

#ifndef _WIN32
void Terminate(std::uint32_t pid) { kill(static_cast<pid_t>(pid), SIGKILL); }
#endif

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

TEST(ProcessLookup, FindsAStartedProgramByItsExactName) {
  TempDir temp;
  std::wstring name;
  const std::wstring path = CopyTestChild(temp, name);
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(Utils::FindProcessId(name), 0u);

  // The child is told to end rather than killed: under Wine a killed console
  // child can leave its console host behind, holding the test runner's pipe.
  const std::wstring stopFile = temp.File(L"stop");
  Utils::ChildProcess child;
  child.Start(L"\"" + path + L"\" wait-for \"" + stopFile + L"\" 120000");
  const std::uint32_t pid = child.ProcessId();
  ASSERT_NE(pid, 0u);

  EXPECT_EQ(Utils::FindProcessId(name), pid);
  EXPECT_EQ(Utils::FindProcessId(Upper(name)), 0u);               // case matters
  EXPECT_EQ(Utils::FindProcessId(name.substr(0, name.size() - 1)), 0u);  // whole name only
  EXPECT_EQ(Utils::FindProcessId(path), 0u);                      // a name, not a path
  EXPECT_EQ(Utils::FindProcessId(L"talvorin-nobody-runs-this"), 0u);

  ASSERT_TRUE(TestSupport::WriteFileBytes(stopFile, ""));
  EXPECT_EQ(child.WaitForExit(), 0u);
  child.Close();
  EXPECT_EQ(Utils::FindProcessId(name), 0u);
}

// A test child that runs until its stop file appears. It is told to end
// rather than killed: under Wine a killed console child can leave its
// console host behind, holding the test runner's pipe.
class WaitingChild {
 public:
  WaitingChild(const std::wstring& path, const std::wstring& stopFile) : stopFile_(stopFile) {
    child_.Start(L"\"" + path + L"\" wait-for \"" + stopFile_ + L"\" 120000");
  }
  ~WaitingChild() {
    TestSupport::WriteFileBytes(stopFile_, "");
    child_.WaitForExit();
    child_.Close();
  }
  std::uint32_t Id() const { return child_.ProcessId(); }

 private:
  std::wstring stopFile_;
  Utils::ChildProcess child_;
};

TEST(ProcessLookup, ScopeCountsOnlyProgramsBelowItsFolder) {
  TempDir temp;
  const std::wstring name = NewChildName();
  // Two copies of one program, one inside the scope and one outside; a
  // sibling folder whose name starts like the scope's holds the second.
  const std::wstring inside = temp.File(L"scope");
  const std::wstring deeper = inside + Utils::kPathSeparator + L"deeper";
  const std::wstring sibling = temp.File(L"scope-sibling");
  ASSERT_TRUE(Utils::CreateDirectories(deeper));
  ASSERT_TRUE(Utils::CreateDirectories(sibling));
  const std::wstring insidePath = CopyTestChildAs(deeper, name);
  const std::wstring outsidePath = CopyTestChildAs(sibling, name);
  ASSERT_FALSE(insidePath.empty());
  ASSERT_FALSE(outsidePath.empty());

  WaitingChild insideChild(insidePath, temp.File(L"stop-inside"));
  WaitingChild outsideChild(outsidePath, temp.File(L"stop-outside"));
  ASSERT_NE(insideChild.Id(), 0u);
  ASSERT_NE(outsideChild.Id(), 0u);

  struct Case {
    const char* what;
    std::optional<std::wstring> scope;
    std::set<std::uint32_t> expected;
  };
  const std::wstring sep(1, Utils::kPathSeparator);
  std::vector<Case> cases = {
      {"the scope's own program", inside, {insideChild.Id()}},
      {"a trailing separator", inside + sep, {insideChild.Id()}},
      {"the other folder", sibling, {outsideChild.Id()}},
      {"a folder above both", temp.path(), {insideChild.Id(), outsideChild.Id()}},
      {"a folder below the program's", deeper + sep + L"none", {0u}},
      {"an empty value is no scope", std::wstring(), {insideChild.Id(), outsideChild.Id()}},
      {"no scope", std::nullopt, {insideChild.Id(), outsideChild.Id()}},
  };
#ifdef _WIN32
  cases.push_back({"other letter case and separators", Upper(inside) + L"/", {insideChild.Id()}});
#else
  // The kernel names executables without symbolic links; a scope reached
  // through one still holds them.
  const std::wstring link = temp.File(L"link-to-scope");
  fs::create_directory_symlink(fs::path(Narrow(inside)), fs::path(Narrow(link)));
  cases.push_back({"a symbolic link to the scope", link, {insideChild.Id()}});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnvironmentVariable scope(
        "TALVORIN_PROCESS_SCOPE",
        c.scope ? std::optional<std::string>(Narrow(*c.scope)) : std::nullopt);
    EXPECT_EQ(c.expected.count(Utils::FindProcessId(name)), 1u) << Utils::FindProcessId(name);
  }
}

TEST(ProcessLookup, PathLiesUnderComparesWholeLevels) {
  struct Case {
    std::wstring path;
    std::wstring folder;
    bool below;
  };
  std::vector<Case> cases = {
      {L"/a/b/c", L"/a/b", true},
      {L"/a/b/c", L"/a/b/", true},
      {L"/a/b/c/d", L"/a", true},
      {L"/a/bc", L"/a/b", false},
      {L"/a/b", L"/a/b", false},
      {L"/a/b/", L"/a/b", false},
      {L"/a", L"/a/b", false},
      {L"/x/b/c", L"/a/b", false},
      {L"/a/b/c", L"", false},
      {L"/a", L"/", true},
      {L"", L"/a", false},
  };
#ifdef _WIN32
  for (Case& c : cases) {
    for (std::wstring* text : {&c.path, &c.folder}) {
      for (wchar_t& ch : *text) {
        if (ch == L'/') ch = L'\\';
      }
    }
  }
  cases.push_back({L"C:\\Users\\T\\a.exe", L"c:/users/t", true});
  cases.push_back({L"C:\\Users\\T\\a.exe", L"C:\\", true});
  cases.push_back({L"D:\\Users\\T\\a.exe", L"C:\\Users", false});
#else
  cases.push_back({L"/A/b/c", L"/a/b", false});  // Linux names keep their case
  cases.push_back({L"/a\\b/c", L"/a", false});   // a backslash is a letter here
  cases.push_back({L"/a\\b/c", L"/a\\b", true});
  cases.push_back({L"/a\\bc", L"/a\\b", false});
#endif
  for (const Case& c : cases) {
    EXPECT_EQ(Utils::PathLiesUnder(c.path, c.folder), c.below)
        << Narrow(c.path) << " under " << Narrow(c.folder);
  }
}

#ifndef _WIN32
TEST(ProcessLookup, FindsAProgramWhoseFileWasRemovedWhileItRuns) {
  TempDir temp;
  std::wstring name;
  const std::wstring path = CopyTestChild(temp, name);
  ASSERT_FALSE(path.empty());

  Utils::ChildProcess child;
  child.Start(L"\"" + path + L"\" sleep 120000");
  const std::uint32_t pid = child.ProcessId();
  ASSERT_TRUE(fs::remove(fs::path(path)));

  EXPECT_EQ(Utils::FindProcessId(name), pid);

  Terminate(pid);
  child.WaitForExit();
}
#endif

}  // namespace
