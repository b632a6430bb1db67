#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/text.h"

namespace Utils {
namespace {

// The character set of code page 0: the user's locale, read without touching
// the process-wide locale. The plain C locale says ASCII, but Linux paths and
// terminals are UTF-8 in practice, so that case means UTF-8.
const std::string& LocaleCharset() {
  static const std::string charset = [] {
    std::string name = "UTF-8";
    if (locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
      const char* codeset = nl_langinfo_l(CODESET, locale);
      if (codeset != nullptr && *codeset != 0 && std::strcmp(codeset, "ANSI_X3.4-1968") != 0)
        name = codeset;
      freelocale(locale);
    }
    return name;
  }();
  return charset;
}

std::string CharsetOf(unsigned codePage) {
  if (codePage == kCodePageAnsi) return LocaleCharset();
  if (codePage == kCodePageUtf8) return "UTF-8";
  return "CP" + std::to_string(codePage);
}

// Converts `input` (up to its first zero) with iconv, writing `replacement`
// for every unit the target cannot take or the source does not form.
template <typename In, typename Out>
std::basic_string<Out> Convert(const In* input, std::size_t count, const char* from,
                               const char* to, const std::basic_string<Out>& replacement) {
  std::basic_string<Out> result;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return result;
  char* in = const_cast<char*>(reinterpret_cast<const char*>(input));
  std::size_t inLeft = count * sizeof(In);
  Out chunk[512];
  while (inLeft > 0) {
    char* out = reinterpret_cast<char*>(chunk);
    std::size_t outLeft = sizeof chunk;
    const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
    result.append(chunk, static_cast<std::size_t>(out - reinterpret_cast<char*>(chunk)) / sizeof(Out));
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EILSEQ || errno == EINVAL) {
      result += replacement;
      const std::size_t skip = std::min(inLeft, sizeof(In));
      in += skip;
      inLeft -= skip;
      continue;
    }
    result.clear();
    break;
  }
  iconv_close(cd);
  return result;
}

}  // namespace

std::wstring ToWide(const std::string& text, unsigned codePage) {
  const std::size_t length = std::strlen(text.c_str());
  if (length == 0) return {};
  return Convert<char, wchar_t>(text.c_str(), length, CharsetOf(codePage).c_str(), "WCHAR_T",
                                std::wstring(1, L'\xFFFD'));
}

std::string ToNarrow(const std::wstring& text, unsigned codePage) {
  const std::size_t length = std::wcslen(text.c_str());
  if (length == 0) return {};
  return Convert<wchar_t, char>(text.c_str(), length, "WCHAR_T", CharsetOf(codePage).c_str(),
                                std::string(1, '?'));
}

}  // namespace Utils
