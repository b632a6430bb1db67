#include "support/child_process.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

using Utils::ChildProcess;

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::wstring ChildCommand(const std::wstring& tail) {
  return Quoted(TestSupport::TestChildPath()) + L" " + tail;
}

std::string ReadAllOutput(ChildProcess& child) {
  std::string output;
  char buffer[1024];
  std::size_t got = 0;
  while ((got = child.ReadOutput(buffer, sizeof buffer)) > 0) output.append(buffer, got);
  return output;
}

struct RunResult {
  std::string output;
  std::uint32_t exitCode = 0;
};

RunResult RunToEnd(const std::wstring& commandLine) {
  ChildProcess child;
  child.Start(commandLine);
  RunResult result;
  result.output = ReadAllOutput(child);
  result.exitCode = child.WaitForExit();
  return result;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Handles (Windows) or descriptors (POSIX) this process holds right now.
std::size_t OpenHandleCount() {
#ifdef _WIN32
  DWORD systemCount = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &systemCount) && systemCount != 0) {
    return systemCount;
  }
  // Wine answers 0 whatever is open. It hands out the lowest free handle
  // values (multiples of 4), so asking about each small value counts them.
  std::size_t count = 0;
  for (std::uintptr_t value = 4; value < 0x2000; value += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
#else
  std::size_t count = 0;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count;
#endif
}

// A child that runs until EndFromOutside ends it.
struct LongLivedChild {
  TestSupport::TempDir folder;
  std::wstring stopFile = folder.File(L"stop");
  std::wstring Command() const { return ChildCommand(L"wait-for \"" + stopFile + L"\" 60000"); }
};

// Ends a child from outside; answers the exit code the launcher must then
// report. On POSIX the child is killed, as a crash would end it. Under Wine a
// killed console child can leave its console host behind, holding the test
// runner's output pipe open, so there the child is told to end.
std::uint32_t EndFromOutside(const LongLivedChild& child, std::uint32_t processId) {
#ifdef _WIN32
  (void)processId;
  EXPECT_TRUE(TestSupport::WriteFileBytes(child.stopFile, ""));
  return 0;
#else
  (void)child;
  EXPECT_EQ(::kill(static_cast<pid_t>(processId), SIGKILL), 0);
  return 128 + SIGKILL;
#endif
}

TEST(ChildProcess, OutputReadsToItsEndAndExitCodeArrives) {
  struct Case {
    const wchar_t* tail;
    std::string output;
    std::uint32_t exitCode;
  };
  const Case cases[] = {
      {L"print hello \"two words\"", Lines({"hello", "two words"}), 0},
      {L"exit 3", "", 3},
      {L"exit 255", "", 255},
      // Nobody writes to the child's input: it is at its end at once.
      {L"read-stdin", Lines({"0"}), 0},
      // Standard error never mixes into the output, and a child writing far
      // more to it than any pipe holds still runs to its end.
      {L"stderr 1000000", Lines({"done"}), 0},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(testCase.tail)));
    ChildProcess child;
    EXPECT_EQ(child.ProcessId(), 0u);
    child.Start(ChildCommand(testCase.tail));
    EXPECT_NE(child.ProcessId(), 0u);
    EXPECT_EQ(ReadAllOutput(child), testCase.output);
    EXPECT_EQ(child.WaitForExit(), testCase.exitCode);
    std::uint32_t exitCode = 0xDEADBEEF;
    EXPECT_FALSE(child.IsRunning(&exitCode));
    EXPECT_EQ(exitCode, testCase.exitCode);
  }
}

TEST(ChildProcess, ArgumentsArriveIntact) {
  struct Case {
    const wchar_t* tail;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {L"one \"two words\" three", {"one", "two words", "three"}},
      {L"\"say \\\"hi\\\"\" x", {"say \"hi\"", "x"}},
      {L"C:\\dir\\file back\\\\slash", {"C:\\dir\\file", "back\\\\slash"}},
      {L"\"ends in backslash\\\\\" next", {"ends in backslash\\", "next"}},
      {L"a\\\\\\\"b", {"a\\\"b"}},
      {L"\"\" after-empty", {"", "after-empty"}},
      {L"tab\tseparated", {"tab", "separated"}},
      {L"-instcmd=\"/D=C:\\Program Files\\X\"", {"-instcmd=/D=C:\\Program Files\\X"}},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(testCase.tail)));
    const RunResult result = RunToEnd(ChildCommand(std::wstring(L"echo-args ") + testCase.tail));
    EXPECT_EQ(result.output, Lines(testCase.arguments));
    EXPECT_EQ(result.exitCode, 0u);
  }
}

TEST(ChildProcess, ProgramPathWithSpacesStarts) {
  TestSupport::TempDir folder;
  const std::wstring spaced = folder.File(L"with space");
  std::filesystem::create_directory(std::filesystem::path(spaced));
  const std::filesystem::path source(TestSupport::TestChildPath());
  const std::filesystem::path copy = std::filesystem::path(spaced) / source.filename();
  std::filesystem::copy_file(source, copy);
  const RunResult result = RunToEnd(Quoted(copy.wstring()) + L" print ok");
  EXPECT_EQ(result.output, Lines({"ok"}));
}

TEST(ChildProcess, BareProgramNameIsLookedUpOnThePath) {
#ifdef _WIN32
  const RunResult result = RunToEnd(L"cmd /c exit 7");
#else
  const RunResult result = RunToEnd(L"sh -c \"exit 7\"");
#endif
  EXPECT_EQ(result.exitCode, 7u);
}

TEST(ChildProcess, CommandLineIsNeverCutShort) {
  const std::wstring head = ChildCommand(L"print ");
  ASSERT_LT(head.size(), 1000u);
  for (const std::size_t length : {std::size_t{1023}, std::size_t{1024}, std::size_t{5000}}) {
    SCOPED_TRACE(length);
    const std::wstring padding(length - head.size(), L'x');
    ChildProcess child;
    if (length <= 1023) {
      child.Start(head + padding);
      EXPECT_EQ(ReadAllOutput(child), std::string(padding.begin(), padding.end()) + "\n");
      EXPECT_EQ(child.WaitForExit(), 0u);
    } else {
      EXPECT_THROW(child.Start(head + padding), Utils::Exception);
      EXPECT_EQ(child.ProcessId(), 0u);
      EXPECT_FALSE(child.IsRunning());
    }
  }
}

// Every way of starting or failing to start gives back all it took once the
// launcher is closed, and closing twice does no harm.
TEST(ChildProcess, CloseLeavesNoHandleOpen) {
  struct Case {
    std::wstring commandLine;
    bool starts;
  };
  const Case cases[] = {
      {Quoted(TestSupport::ProgramFolder() + L"/no-such-program-here.exe") + L" x", false},
      {L"talvorin-no-such-program-on-the-path x", false},
      {L"", false},
      {L"\"\" x", false},
      {ChildCommand(std::wstring(1100, L'x')), false},
      {ChildCommand(L"print ok"), true},
  };
  // The system sets some things up on the first process creation and the
  // first diagnostic line (Wine keeps a few handles for them); that happens
  // once per process, so do it before counting.
  {
    ChildProcess warmUp;
    EXPECT_THROW(warmUp.Start(cases[0].commandLine), Utils::Exception);
    RunToEnd(ChildCommand(L"exit 0"));
  }
  for (const Case& testCase : cases) {
    SCOPED_TRACE(::testing::PrintToString(testCase.commandLine.substr(0, 80)));
    const std::size_t before = OpenHandleCount();
    {
      ChildProcess child;
      // Four pipe ends: the count must see them, or it proves nothing.
      EXPECT_EQ(OpenHandleCount(), before + 4);
      if (testCase.starts) {
        child.Start(testCase.commandLine);
        ReadAllOutput(child);
        child.WaitForExit();
      } else {
        EXPECT_THROW(child.Start(testCase.commandLine), Utils::Exception);
        EXPECT_EQ(child.ProcessId(), 0u);
      }
      child.Close();
      EXPECT_EQ(OpenHandleCount(), before);
      child.Close();
      EXPECT_EQ(OpenHandleCount(), before);
    }
    EXPECT_EQ(OpenHandleCount(), before);
  }
}

TEST(ChildProcess, RunningChildReportsRunningUntilItEnds) {
  ChildProcess child;
  const LongLivedChild longLivedChild;
  child.Start(longLivedChild.Command());
  EXPECT_TRUE(child.IsRunning());
  const std::uint32_t expected = EndFromOutside(longLivedChild, child.ProcessId());
  EXPECT_EQ(ReadAllOutput(child), "");
  EXPECT_EQ(child.WaitForExit(), expected);
  std::uint32_t exitCode = 0;
  EXPECT_FALSE(child.IsRunning(&exitCode));
  EXPECT_EQ(exitCode, expected);
}

// A child must not inherit the pipes of another launcher: a long-lived one
// holding the write end of this one's output would keep its read from ending.
TEST(ChildProcess, ChildInheritsNoOtherLaunchersPipes) {
  ChildProcess shortLived;  // pipes exist before the long-lived child starts
  ChildProcess longLived;
  const LongLivedChild longLivedChild;
  longLived.Start(longLivedChild.Command());
  shortLived.Start(ChildCommand(L"print hi"));
  EXPECT_EQ(ReadAllOutput(shortLived), Lines({"hi"}));
  EXPECT_EQ(shortLived.WaitForExit(), 0u);
  const std::uint32_t expected = EndFromOutside(longLivedChild, longLived.ProcessId());
  EXPECT_EQ(longLived.WaitForExit(), expected);
}

TEST(ChildProcess, MisuseThrowsInsteadOfPretending) {
  ChildProcess child;
  EXPECT_FALSE(child.IsRunning());
  EXPECT_THROW(child.WaitForExit(), Utils::Exception);
  child.Start(ChildCommand(L"exit 4"));
  EXPECT_THROW(child.Start(ChildCommand(L"exit 5")), Utils::Exception);
  EXPECT_EQ(child.WaitForExit(), 4u);
  child.Close();
  // The end was seen before Close, so its code stays known.
  EXPECT_EQ(child.WaitForExit(), 4u);

  ChildProcess closed;
  closed.Close();
  EXPECT_THROW(closed.Start(ChildCommand(L"exit 0")), Utils::Exception);
  EXPECT_EQ(closed.ProcessId(), 0u);
}

#ifndef _WIN32
TEST(ChildProcess, ChildSeesExactlyTheStandardDescriptors) {
  // A descriptor this process leaks without close-on-exec must not reach
  // the child either.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  const RunResult result = RunToEnd(ChildCommand(L"list-fds"));
  ::close(leaked);
  EXPECT_EQ(result.output, Lines({"0", "1", "2"}));
  EXPECT_EQ(result.exitCode, 0u);
}

TEST(ChildProcess, StartsWhenThisProcessHasNoStandardInputOrOutput) {
  // With 0 and 1 closed the new pipes land on them; the child's standard
  // streams must still be wired to the right pipes.
  std::fflush(stdout);
  const int savedInput = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 10);
  const int savedOutput = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 10);
  ASSERT_GE(savedInput, 0);
  ASSERT_GE(savedOutput, 0);
  ::close(STDIN_FILENO);
  ::close(STDOUT_FILENO);
  RunResult errors;
  RunResult descriptors;
  bool threw = false;
  try {
    errors = RunToEnd(ChildCommand(L"stderr 5"));
    descriptors = RunToEnd(ChildCommand(L"list-fds"));
  } catch (const Utils::Exception&) {
    threw = true;
  }
  ::dup2(savedInput, STDIN_FILENO);
  ::dup2(savedOutput, STDOUT_FILENO);
  ::close(savedInput);
  ::close(savedOutput);
  ASSERT_FALSE(threw);
  EXPECT_EQ(errors.output, Lines({"done"}));
  EXPECT_EQ(descriptors.output, Lines({"0", "1", "2"}));
}
#endif

}  // namespace
