// Splitting a command line into arguments by the Windows rules: white space
// separates, double quotes group, backslashes escape only before a quote.
#pragma once

#include <string>
#include <vector>

namespace Utils {

// The first argument (the program) follows the rule for program names: it
// ends at the first space outside quotes and backslashes are taken literally.
std::vector<std::wstring> SplitWindowsCommandLine(const std::wstring& commandLine);

}  // namespace Utils
