#include "support/debug_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>
#include <vector>

#include "support/process_info.h"

namespace {

const Utils::LogStamp kStamp{812, 4711, 2021, 3, 7, 9, 5, 3, 42};

TEST(DebugLogFormat, ProducesTheExactLine) {
  struct Case {
    const char* what;
    std::wstring line;
    std::wstring expected;
  };
  const Case cases[] = {
      {"message with an argument",
       Utils::FormatLogLine(kStamp, L"CCurlDownloader::dlThreadFun", 49, L"CurlDownLoader Code=%d", 28),
       L"<P00812><T04711><2021-03-07 09:05:03.042>(CCurlDownloader::dlThreadFun)<0049>: "
       L"CurlDownLoader Code=28\r\n"},
      {"message without arguments",
       Utils::FormatLogLine(kStamp, L"F", 7, L"start download"),
       L"<P00812><T04711><2021-03-07 09:05:03.042>(F)<0007>: start download\r\n"},
      {"%% is one per-cent sign",
       Utils::FormatLogLine(kStamp, L"F", 1, L"progress:%f%%", 12.5),
       L"<P00812><T04711><2021-03-07 09:05:03.042>(F)<0001>: progress:12.500000%\r\n"},
      {"ids and lines wider than the minimum are printed in full",
       Utils::FormatLogLine(Utils::LogStamp{1234567, 4294967295u, 2021, 12, 31, 23, 59, 59, 999},
                            L"F", 123456, L"x"),
       L"<P1234567><T4294967295><2021-12-31 23:59:59.999>(F)<123456>: x\r\n"},
      {"a message ending in CR LF gets no second one",
       Utils::FormatLogLine(kStamp, L"F", 1, L"HardDiskManager::CheckFreeSpace FAIL code=%ld\r\n", 5),
       L"<P00812><T04711><2021-03-07 09:05:03.042>(F)<0001>: HardDiskManager::CheckFreeSpace FAIL "
       L"code=5\r\n"},
      {"the progress line ends in its own line feed",
       Utils::FormatLogLine(kStamp, L"F", 1, L" %dM %dM   progress:%f%%  speed:%f \n", 3, 10, 30.0, 512.5),
       L"<P00812><T04711><2021-03-07 09:05:03.042>(F)<0001>:  3M 10M   progress:30.000000%  "
       L"speed:512.500000 \n"},
      {"wide strings, 64-bit integers and negative 32-bit values",
       Utils::FormatLogLine(kStamp, L"F", 1, L"%s|%lld|%ld|%d", L"Pfad \u00e9\u4e2d", 5000000000LL, -2, -3),
       L"<P00812><T04711><2021-03-07 09:05:03.042>(F)<0001>: Pfad \u00e9\u4e2d|5000000000|-2|-3\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.line, c.expected) << c.what;
}

struct Widget {
  std::wstring Name() const { return Utils::QualifiedFunctionName(__PRETTY_FUNCTION__); }
  template <typename T>
  static std::wstring Make(T) { return Utils::QualifiedFunctionName(__PRETTY_FUNCTION__); }
  std::wstring FromLambda() {
    auto lambda = [](int) { return Utils::QualifiedFunctionName(__PRETTY_FUNCTION__); };
    return lambda(1);
  }
};

TEST(DebugLogFormat, NamesTheCallingFunctionWithItsScope) {
  EXPECT_EQ(Widget().Name(), L"{anonymous}::Widget::Name");
  EXPECT_EQ(Widget::Make(1), L"{anonymous}::Widget::Make");
  EXPECT_EQ(Widget().FromLambda(), L"{anonymous}::Widget::FromLambda()::<lambda(int)>");
  EXPECT_EQ(Utils::QualifiedFunctionName("std::vector<int> ns::Cls::operator()(int) const"),
            L"ns::Cls::operator()");
  EXPECT_EQ(Utils::QualifiedFunctionName("void* operator new(std::size_t)"), L"operator new");
}

TEST(DebugLog, CallSiteLineCarriesThisProcessThreadFunctionAndLine) {
  std::vector<std::wstring> lines;
  {
    Utils::LogCapture capture([&](const std::wstring& line) { lines.push_back(line); });
    DEBUG_LOG(L"value=%d name=%s", 7, L"abc"); const int expectedLine = __LINE__;
    ASSERT_EQ(lines.size(), 1u);
    wchar_t prefix[64];
    std::swprintf(prefix, 64, L"<P%05u><T%05u><", Utils::CurrentProcessId(), Utils::CurrentThreadId());
    EXPECT_EQ(lines[0].rfind(prefix, 0), 0u) << lines[0];
    const std::wregex shape(L"<P\\d{5,}><T\\d{5,}><\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}>"
                            L"\\(\\{anonymous\\}::DebugLog_CallSiteLineCarriesThisProcessThreadFunctionAndLine_Test::"
                            L"TestBody\\)<(\\d{4,})>: value=7 name=abc\r\n");
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, shape)) << lines[0];
    EXPECT_EQ(std::stoi(match[1].str()), expectedLine);
  }
  DEBUG_LOG(L"after the capture ended");
  EXPECT_EQ(lines.size(), 1u);
}

TEST(DebugLog, LinesOfManyThreadsArriveWhole) {
  std::vector<std::wstring> lines;
  Utils::LogCapture capture([&](const std::wstring& line) { lines.push_back(line); });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) DEBUG_LOG(L"thread %d line %d", t, i);
    });
  for (auto& thread : threads) thread.join();
  ASSERT_EQ(lines.size(), 200u);
  for (const auto& line : lines) {
    EXPECT_EQ(line.substr(line.size() - 2), L"\r\n");
    EXPECT_EQ(line.find(L"\r\n"), line.size() - 2);
  }
}

}  // namespace
