// What the log asks of the system: the stamp of a line and its output channel.
#pragma once

#include <string>

#include "support/debug_log.h"

namespace Utils {

LogStamp CurrentLogStamp();
void EmitLogLine(const std::wstring& line);

}  // namespace Utils
