#include "app/command_line.h"

#include "support/process_info.h"
#include "support/text.h"

namespace Installer {

OptionTable BuildOptionTable(const std::vector<std::wstring>& arguments) {
  OptionTable table;
  for (const std::wstring& argument : arguments) {
    std::wstring key = argument;
    std::wstring value;
    if (!argument.empty() && argument[0] == L'-') {
      if (const std::size_t equals = argument.find(L'='); equals != std::wstring::npos) {
        key = argument.substr(0, equals);
        value = argument.substr(equals + 1);
      }
    }
    table.emplace(std::move(key), std::move(value));  // keeps the first occurrence
  }
  return table;
}

std::wstring OptionText(const OptionTable& table, const std::wstring& key) { return table.at(key); }

int OptionInt(const OptionTable& table, const std::wstring& key) {
  return Utils::ParseDecimalInt(table.at(key));
}

bool OptionBool(const OptionTable& table, const std::wstring& key) { return table.at(key) == L"true"; }

double OptionFloat(const OptionTable& table, const std::wstring& key) {
  return Utils::ParseDecimalDouble(table.at(key)).value_or(0.0);
}

void applyCommandLine(InstallerSettings& settings, const std::vector<std::wstring>& arguments) {
  const OptionTable table = BuildOptionTable(arguments);
  auto has = [&](const wchar_t* key) { return table.count(key) != 0; };
  if (has(L"-downloadurl")) settings.applyDownloadUrl(OptionText(table, L"-downloadurl"));
  if (has(L"-downloadtype")) settings.downloadType = OptionInt(table, L"-downloadtype");
  if (has(L"-downloadscale"))
    settings.downloadScale = DownloadScaleFromText(OptionText(table, L"-downloadscale"));
  if (has(L"-ischecknet")) settings.isCheckNet = OptionBool(table, L"-ischecknet");
  if (has(L"-isenableappanalytics"))
    settings.isEnableAppAnalytics = OptionBool(table, L"-isenableappanalytics");
  if (has(L"-dlappnamesuffix")) settings.dlAppNameSuffix = OptionText(table, L"-dlappnamesuffix");
  if (has(L"-dlappversion")) settings.dlAppVersion = OptionText(table, L"-dlappversion");
  if (has(L"-instcmd")) settings.instCmd = OptionText(table, L"-instcmd");
  if (has(L"-language")) settings.language = OptionInt(table, L"-language");
  if (has(L"-insnew")) settings.insNew = OptionBool(table, L"-insnew");
  if (has(L"-silent")) settings.silent = OptionBool(table, L"-silent");
  if (has(L"-installdir")) settings.silentInstallDir = OptionText(table, L"-installdir");
  if (has(L"-proxyurl")) settings.proxyUrl = OptionText(table, L"-proxyurl");
  if (has(L"-package")) settings.packageFile = OptionText(table, L"-package");
}

void applyCommandLine() { applyCommandLine(TheInstallerSettings(), Utils::GetProcessArguments()); }

}  // namespace Installer
