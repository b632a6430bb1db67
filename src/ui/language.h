// The interface language: the fourteen languages the installer can speak,
// the choice among them, and the interface texts a skin's "language.json"
// provides. With a skin that ships no such file nothing is loaded and the
// layouts keep their own texts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ui/interface_text.h"

namespace Installer {

inline constexpr std::array<const wchar_t*, 14> kLanguageNames = {
    L"en-US", L"zh-CN", L"zh-TW", L"id-ID", L"tr-TR", L"de-DE", L"fr-FR",
    L"es-ES", L"pt-PT", L"ja-JP", L"ko-KR", L"pl-PL", L"nl-NL", L"it-IT"};

// The languages by their own names, as the language combo box lists them.
inline constexpr std::array<const wchar_t*, 14> kLanguageNativeNames = {
    L"English", L"简体中文", L"繁體中文", L"Bahasa Indonesia", L"Türkçe", L"Deutsch", L"Français",
    L"Español", L"Português", L"日本語", L"한국어", L"Polski", L"Nederlands", L"Italiano"};

inline constexpr std::size_t kMaxLanguageFileSize = 4u << 20;  // 4 MiB
inline constexpr wchar_t kLanguageFileName[] = L"language.json";

// Interface texts by number. Each load replaces the texts of the ids it
// holds and keeps the others.
class InterfaceTexts {
 public:
  void Set(int id, std::wstring text) { texts_[id] = std::move(text); }
  // nullopt when no text has that number.
  std::optional<std::wstring> Find(int id) const;
  // The one lookup the program's own texts go through: the loaded text, or
  // the reference's fallback when the table has none (or an empty one).
  std::wstring Get(const TextRef& text) const;
  std::size_t Size() const { return texts_.size(); }

 private:
  std::map<int, std::wstring> texts_;
};

// Reads a file of the skin package: its bytes, or nullopt when missing.
using SkinFileReader = std::function<std::optional<std::string_view>(const std::wstring& path)>;

// The list index for a Windows language identifier (the system's interface
// language); 0 for every identifier the table does not name. The Chinese
// identifiers go to the Chinese texts: 2052 and 4100 (PRC, Singapore) to
// zh-CN, 1028, 3076 and 5124 (Taiwan, Hong Kong, Macao) to zh-TW.
int LanguageIndexForSystemLanguage(std::uint16_t languageId);

// The system's interface language as a Windows language identifier (on
// Linux taken from LC_ALL, LC_MESSAGES or LANG).
std::uint16_t SystemUiLanguage();

// The Windows language identifier of a POSIX locale name ("de_DE.UTF-8",
// "pt_BR", "ja"); 1033 (English, United States) for C, POSIX and unknown names.
std::uint16_t LanguageIdFromLocaleName(const std::string& locale);

// Loads the texts of a language from the skin's "language.json" into
// `texts` and answers the index used: the entry named `name` when one
// matches, else `index` (0 when outside the list). Without a usable file
// (missing, empty, over 4 MiB) nothing is loaded and the answer is 0; a file
// that is not valid JSON loads nothing but the chosen index is still answered.
int LoadLanguage(int index, const std::wstring& name, const SkinFileReader& readSkinFile,
                 InterfaceTexts& texts);

// The index the language combo box starts at: the chosen `language`, or the
// system language's when none was chosen (-1) or the choice is not a list index.
int InitialLanguageIndex(std::int32_t language, std::uint16_t systemLanguage);

// The language an earlier installation in `folder` was installed with: the
// "Language" of section "Install" in its "config.ini" ("en-US" when the key is
// missing); empty when there is no such file.
std::wstring EarlierInstallationLanguage(const std::wstring& folder);

// The language index an installation starts with when nothing else decides:
// the earlier installation's language when it names one of the list (it
// wins), else `InitialLanguageIndex`.
int ChosenLanguageIndex(std::int32_t language, std::uint16_t systemLanguage,
                        const std::wstring& earlierLanguage);

// A failure text the package runner reports in its own (Chinese) words, in
// the interface language; any other text as it is.
std::wstring UserFailureText(const InterfaceTexts& texts, const std::wstring& text);

// The language code handed to the package: empty when the skin has no
// language combo box, else the list name of the combo's index ("en-US" for
// an index outside the list).
std::wstring PackageLanguageCode(bool skinHasLanguageCombo, int comboIndex);

}  // namespace Installer
