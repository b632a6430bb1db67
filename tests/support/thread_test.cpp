#include "support/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "support/debug_log.h"

namespace {

struct Observed {
  std::atomic<int> runs{0};
  std::string debugName;
  void* argument = nullptr;
};

Utils::Thread::Function Recorder(Observed& observed) {
  return [&observed](void* argument) {
    observed.argument = argument;
    observed.debugName = Utils::CurrentThreadDebugName();
    ++observed.runs;
  };
}

TEST(Thread, RunsItsWorkOnceResumedUnderItsName) {
  Observed observed;
  int payload = 0;
  std::vector<std::wstring> lines;
  {
    Utils::LogCapture capture([&](const std::wstring& line) { lines.push_back(line); });
    Utils::Thread thread(&payload, L"ABDEF", Recorder(observed));
    ASSERT_TRUE(thread.IsCreated());
    EXPECT_NE(thread.ThreadId(), 0u);
    EXPECT_EQ(observed.runs, 0) << "a new thread waits for Resume";
    EXPECT_TRUE(thread.Resume());
    EXPECT_FALSE(thread.Resume());
    thread.Join();
  }
  EXPECT_EQ(observed.runs, 1);
  EXPECT_EQ(observed.argument, &payload);
  EXPECT_EQ(observed.debugName, "ABDEF");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(L"(Utils::Thread::CallBack)"), std::wstring::npos) << lines[0];
  EXPECT_NE(lines[0].find(L": THREAD BEGIN\r\n"), std::wstring::npos) << lines[0];
  EXPECT_NE(lines[1].find(L": THREAD END\r\n"), std::wstring::npos) << lines[1];
}

TEST(Thread, AnEmptyNameIsAnnouncedAsTAndTheId) {
  Observed observed;
  Utils::Thread thread(nullptr, L"", Recorder(observed));
  const std::uint32_t id = thread.ThreadId();
  thread.Resume();
  thread.Join();
  std::string expected = "t" + std::to_string(id);
  EXPECT_EQ(Utils::DebuggerThreadName(L"", id), expected);
#ifndef _WIN32
  expected.resize(std::min<std::size_t>(expected.size(), 15));  // the kernel's limit
#endif
  EXPECT_EQ(observed.debugName, expected);
}

TEST(Thread, JoinTwiceAndJoinOfAnEndedThread) {
  Observed observed;
  Utils::Thread thread(nullptr, L"UnInstaller", Recorder(observed));
  thread.Resume();
  thread.Join();
  EXPECT_EQ(thread.ThreadId(), Utils::Thread::kJoinedId);
  EXPECT_FALSE(thread.IsCreated());
  thread.Join();  // nothing left to wait for
  EXPECT_EQ(thread.ThreadId(), Utils::Thread::kJoinedId);
  EXPECT_FALSE(thread.Resume());
  EXPECT_EQ(observed.runs, 1);
}

TEST(Thread, DestroyingAThreadThatWasNeverResumedNeitherHangsNorRunsTheWork) {
  Observed observed;
  { Utils::Thread thread(nullptr, L"never", Recorder(observed)); }
  EXPECT_EQ(observed.runs, 0);
}

TEST(Thread, DestructionWaitsForTheWork) {
  std::atomic<bool> finished{false};
  {
    Utils::Thread thread(nullptr, L"slow", [&](void*) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      finished = true;
    });
    thread.Resume();
  }
  EXPECT_TRUE(finished);
}

}  // namespace
