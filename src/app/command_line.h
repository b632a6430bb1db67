// The command line: the last layer of the installer's settings.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/installer_settings.h"

namespace Installer {

// Key to value; the first occurrence of a key wins. Keys compare exactly.
using OptionTable = std::map<std::wstring, std::wstring>;

// "-key=value" gives key "-key" and everything after the first "="; "-key"
// alone and any argument not starting with "-" give an empty value.
OptionTable BuildOptionTable(const std::vector<std::wstring>& arguments);

// The converters, each answering the value of `key` (which must be present).
std::wstring OptionText(const OptionTable& table, const std::wstring& key);
int OptionInt(const OptionTable& table, const std::wstring& key);        // ParseDecimalInt
bool OptionBool(const OptionTable& table, const std::wstring& key);      // exactly "true"
double OptionFloat(const OptionTable& table, const std::wstring& key);   // 0.0 without a number

// Applies the recognised options, in the order of the option table, to `settings`.
void applyCommandLine(InstallerSettings& settings, const std::vector<std::wstring>& arguments);

// The process's own command line applied to TheInstallerSettings().
void applyCommandLine();

}  // namespace Installer
