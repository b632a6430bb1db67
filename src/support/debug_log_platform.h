// What the log asks of the system: the stamp of a line and its output channel.
#pragma once

#include <string>

#include "support/debug_log.h"

namespace Utils {

LogStamp CurrentLogStamp();
void EmitLogLine(const std::wstring& line);
// Opens `path` as the run log (made anew when `replace`, otherwise only when
// it does not exist yet) in place of any earlier one.
bool OpenRunLogFile(const std::wstring& path, bool replace);

}  // namespace Utils
