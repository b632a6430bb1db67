#include "support/command_line_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

struct SplitCase {
  const wchar_t* commandLine;
  std::vector<std::wstring> arguments;
};

// Each case pins one rule; together they cover the program-name rule, blank
// runs, backslashes before and away from quotes, and runs of quotes inside
// and outside a quoted group.
const SplitCase kCases[] = {
    {L"prog a b", {L"prog", L"a", L"b"}},
    {L"prog  a\t\tb  ", {L"prog", L"a", L"b"}},
    {L"prog", {L"prog"}},
    // Only space and tab separate.
    {L"prog a\r\nb\vc", {L"prog", L"a\r\nb\vc"}},
    // Program name: a leading quote runs to the next quote, backslashes are
    // literal, and whatever follows the closing quote is the next argument.
    {L"\"C:\\Program Files\\Talvorin\\setup.exe\" /S", {L"C:\\Program Files\\Talvorin\\setup.exe", L"/S"}},
    {L"\"C:\\dir\\\" next", {L"C:\\dir\\", L"next"}},
    {L"\"app\"tail x", {L"app", L"tail", L"x"}},
    {L"\"app\"\" rest \"", {L"app", L" rest "}},
    {L"\"\"", {L""}},
    // Without a leading quote, quotes in the name are plain characters.
    {L"C:\\a\"b c\" d", {L"C:\\a\"b", L"c d"}},
    {L" leading", {L"", L"leading"}},
    // Quotes group and vanish, also in the middle of an argument.
    {L"prog \"a b\"c d", {L"prog", L"a bc", L"d"}},
    {L"prog -instcmd=\"/D=C:\\Program Files\\X\"", {L"prog", L"-instcmd=/D=C:\\Program Files\\X"}},
    // Backslashes are literal unless a quote follows.
    {L"prog a\\\\b c\\", {L"prog", L"a\\\\b", L"c\\"}},
    {L"prog a\\\"b", {L"prog", L"a\"b"}},
    {L"prog a\\\\\"b c\"", {L"prog", L"a\\b c"}},
    {L"prog a\\\\\\\"b", {L"prog", L"a\\\"b"}},
    {L"prog \"dir\\\\\" next", {L"prog", L"dir\\", L"next"}},
    // "" inside quotes: a literal quote, and the group ends there.
    {L"prog \"a\"\" b\"", {L"prog", L"a\"", L"b"}},
    {L"prog \"a\"\"b\" c", {L"prog", L"a\"b c"}},
    // Outside quotes: a pair is nothing, three make one literal quote.
    {L"prog a\"\"b", {L"prog", L"ab"}},
    {L"prog a\"\"\"b c", {L"prog", L"a\"b", L"c"}},
    // Empty and unfinished groups still make an argument.
    {L"prog \"\" x", {L"prog", L"", L"x"}},
    {L"prog \"", {L"prog", L""}},
    {L"prog \"unclosed group", {L"prog", L"unclosed group"}},
};

TEST(SplitWindowsCommandLine, SplitsByTheWindowsRules) {
  for (const SplitCase& testCase : kCases) {
    EXPECT_EQ(Utils::SplitWindowsCommandLine(testCase.commandLine), testCase.arguments)
        << "command line: " << ::testing::PrintToString(std::wstring(testCase.commandLine));
  }
}

TEST(SplitWindowsCommandLine, EmptyLineHasNoArguments) {
  // The system function answers the running program's own path here; a
  // splitter of arbitrary lines has no program to name.
  EXPECT_TRUE(Utils::SplitWindowsCommandLine(L"").empty());
}

#ifdef _WIN32
TEST(SplitWindowsCommandLine, AgreesWithTheSystemSplitter) {
  for (const SplitCase& testCase : kCases) {
    int count = 0;
    wchar_t** system = ::CommandLineToArgvW(testCase.commandLine, &count);
    ASSERT_NE(system, nullptr);
    const std::vector<std::wstring> expected(system, system + count);
    ::LocalFree(system);
    EXPECT_EQ(Utils::SplitWindowsCommandLine(testCase.commandLine), expected)
        << "command line: " << ::testing::PrintToString(std::wstring(testCase.commandLine));
  }
}
#endif

}  // namespace
