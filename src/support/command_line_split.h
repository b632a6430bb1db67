// Splitting a command line into arguments by the Windows rules: white space
// separates, double quotes group, backslashes escape only before a quote.
#pragma once

#include <string>
#include <vector>

namespace Utils {

// The first argument (the program) follows the rule for program names, with
// backslashes taken literally: a leading quote runs to the next quote, and
// whatever follows it starts the next argument ("app"tail gives app, tail);
// without a leading quote the name runs to the first blank.
std::vector<std::wstring> SplitWindowsCommandLine(const std::wstring& commandLine);

}  // namespace Utils
