// The transport's validation rules. Each check that fails writes its one
// message line to the standard error stream and answers false.
#pragma once

#include <string>

namespace zv_transport {

// 1 to 100 bytes; first a letter, "$" or "_", then letters, digits, "$", "_".
// `label` names the text in the message ("Property Key", "Event Name").
bool CheckKey(const std::string& text, const char* label);

// 1 to 255 bytes ("Distinct ID", "Original ID").
bool CheckIdentifier(const std::string& text, const char* label);

// Well-formed UTF-8 without control bytes other than tab, line feed and
// carriage return.
bool IsValidUtf8(const std::string& text);

}  // namespace zv_transport
