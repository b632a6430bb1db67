#include "ui/language.h"

#include <json/json.h>

#include <memory>

#include "support/file_system.h"
#include "support/process_info.h"
#include "support/profile_file.h"
#include "support/text.h"

namespace Installer {
namespace {

bool IsListIndex(int index) {
  return index >= 0 && static_cast<std::size_t>(index) < kLanguageNames.size();
}

int IndexForName(int index, const std::wstring& name) {
  if (!name.empty()) {
    // Locale names are plain ASCII; the comparison is made in the ANSI code
    // page, as the names were always stored.
    const std::string wanted = Utils::ToNarrow(name, Utils::kCodePageAnsi);
    for (std::size_t i = 0; i < kLanguageNames.size(); ++i)
      if (Utils::ToNarrow(kLanguageNames[i], Utils::kCodePageAnsi) == wanted)
        return static_cast<int>(i);
  }
  return IsListIndex(index) ? index : 0;
}

// Loads the members of `locale` from a parsed table. Elements that are not
// objects are skipped; a text that is not a string counts as missing.
void LoadTexts(const Json::Value& table, const std::string& locale, InterfaceTexts& texts) {
  if (!table.isArray()) return;
  for (const Json::Value& element : table) {
    if (!element.isObject()) continue;
    const Json::Value& text = element[locale];
    const Json::Value& id = element["id"];
    // A missing id counts as 0; one that is not a number names no text at all.
    if (!id.isNull() && !id.isInt()) continue;
    const int number = id.isNull() ? 0 : id.asInt();
    texts.Set(number, text.isString() ? Utils::ToWide(text.asString(), Utils::kCodePageUtf8)
                                      : std::wstring());
  }
}

}  // namespace

std::optional<std::wstring> InterfaceTexts::Find(int id) const {
  const auto found = texts_.find(id);
  if (found == texts_.end()) return std::nullopt;
  return found->second;
}

std::wstring InterfaceTexts::Get(const TextRef& text) const {
  const auto found = texts_.find(text.id);
  if (found == texts_.end() || found->second.empty()) return text.fallback;
  return found->second;
}

std::wstring FormatText(std::wstring_view pattern, std::initializer_list<std::wstring_view> values) {
  std::wstring out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const wchar_t c = pattern[i];
    if (c != L'%' || i + 1 == pattern.size()) {
      out.push_back(c);
      continue;
    }
    const wchar_t next = pattern[i + 1];
    if (next == L'%') {
      out.push_back(L'%');
      ++i;
    } else if (next >= L'1' && next <= L'9' && static_cast<std::size_t>(next - L'1') < values.size()) {
      out.append(values.begin()[next - L'1']);
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

int LanguageIndexForSystemLanguage(std::uint16_t languageId) {
  switch (languageId) {
    case 1033: return 0;
    case 2052: case 4100: return 1;
    case 1028: case 3076: case 5124: return 2;
    case 1057: return 3;
    case 1055: return 4;
    case 1031: return 5;
    case 1036: return 6;
    case 1034: case 2058: case 3082: case 4106: case 5130: case 6154: case 7178: case 8202:
    case 9226: case 10250: case 11274: case 12298: case 13322: case 14346: case 15370:
    case 16394: case 17418: case 18442: case 19466: case 20490:
      return 7;
    case 1046: return 8;
    case 1041: return 9;
    case 1042: return 10;
    case 1045: return 11;
    case 1043: case 2067: return 12;
    case 1040: return 13;
    default: return 0;
  }
}

std::uint16_t LanguageIdFromLocaleName(const std::string& locale) {
  // "ll_TT.charset@modifier": language and territory decide.
  const std::string name = locale.substr(0, locale.find_first_of(".@"));
  struct Entry { const char* name; std::uint16_t id; };
  static const Entry kTerritories[] = {
      {"en_US", 1033}, {"en_GB", 2057}, {"zh_CN", 2052}, {"zh_SG", 4100}, {"zh_TW", 1028},
      {"zh_HK", 3076}, {"zh_MO", 5124}, {"id_ID", 1057}, {"tr_TR", 1055}, {"de_DE", 1031},
      {"de_CH", 2055}, {"de_AT", 3079}, {"de_LU", 4103}, {"fr_FR", 1036}, {"fr_BE", 2060},
      {"fr_CA", 3084}, {"fr_CH", 4108}, {"es_ES", 3082}, {"es_MX", 2058}, {"es_GT", 4106},
      {"es_CR", 5130}, {"es_PA", 6154}, {"es_DO", 7178}, {"es_VE", 8202}, {"es_CO", 9226},
      {"es_PE", 10250}, {"es_AR", 11274}, {"es_EC", 12298}, {"es_CL", 13322}, {"es_UY", 14346},
      {"es_PY", 15370}, {"es_BO", 16394}, {"es_SV", 17418}, {"es_HN", 18442}, {"es_NI", 19466},
      {"es_PR", 20490}, {"pt_BR", 1046}, {"pt_PT", 2070}, {"ja_JP", 1041}, {"ko_KR", 1042},
      {"pl_PL", 1045}, {"nl_NL", 1043}, {"nl_BE", 2067}, {"it_IT", 1040}, {"it_CH", 2064},
  };
  for (const Entry& entry : kTerritories)
    if (name == entry.name) return entry.id;
  // A language without a known territory takes its main country.
  const std::string language = name.substr(0, name.find('_'));
  for (const Entry& entry : kTerritories)
    if (std::string(entry.name).compare(0, 3, language + "_") == 0) return entry.id;
  return 1033;
}

int LoadLanguage(int index, const std::wstring& name, const SkinFileReader& readSkinFile,
                 InterfaceTexts& texts) {
  const std::optional<std::string_view> file =
      readSkinFile ? readSkinFile(kLanguageFileName) : std::nullopt;
  if (!file || file->empty() || file->size() > kMaxLanguageFileSize) return 0;
  const int chosen = IndexForName(index, name);

  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value table;
  std::string errors;
  if (reader->parse(file->data(), file->data() + file->size(), &table, &errors))
    LoadTexts(table, Utils::ToNarrow(kLanguageNames[chosen], Utils::kCodePageUtf8), texts);
  return chosen;
}

int InitialLanguageIndex(std::int32_t language, std::uint16_t systemLanguage) {
  if (IsListIndex(language)) return language;
  return LanguageIndexForSystemLanguage(systemLanguage);
}

std::wstring EarlierInstallationLanguage(const std::wstring& folder) {
  std::wstring file = folder;
  if (!file.empty() && !Utils::IsPathSeparator(file.back())) file += Utils::kPathSeparator;
  file += L"config.ini";
  if (!Utils::FileExists(file)) return {};
  return Utils::ReadProfileString(L"Install", L"Language", L"en-US", file);
}

int ChosenLanguageIndex(std::int32_t language, std::uint16_t systemLanguage,
                        const std::wstring& earlierLanguage) {
  if (!earlierLanguage.empty()) {
    const std::string wanted = Utils::ToNarrow(earlierLanguage, Utils::kCodePageAnsi);
    for (std::size_t i = 0; i < kLanguageNames.size(); ++i)
      if (Utils::ToNarrow(kLanguageNames[i], Utils::kCodePageAnsi) == wanted) return static_cast<int>(i);
  }
  return InitialLanguageIndex(language, systemLanguage);
}

std::wstring UserFailureText(const InterfaceTexts& texts, const std::wstring& text) {
  for (const TextRef& known : {kTextPackageCrashed, kTextPackageFailed}) {
    if (text == known.fallback) return texts.Get(known);
  }
  return text;
}

std::wstring PackageLanguageCode(bool skinHasLanguageCombo, int comboIndex) {
  if (!skinHasLanguageCombo) return {};
  return IsListIndex(comboIndex) ? kLanguageNames[comboIndex] : L"en-US";
}

}  // namespace Installer
