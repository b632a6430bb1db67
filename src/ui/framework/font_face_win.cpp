#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "support/debug_log.h"
#include "support/text.h"
#include "ui/framework/font_face.h"

namespace Ui {

namespace {

struct KnownFace {
  const wchar_t* names[3];  // the names layouts use for it, compared without case
  const wchar_t* regular;
  const wchar_t* bold;
};

// The faces Chinese Windows ships; the skin asks for the first.
const KnownFace kKnownFaces[] = {
    {{L"微软雅黑", L"Microsoft YaHei", L"Microsoft YaHei UI"}, L"msyh.ttc", L"msyhbd.ttc"},
    {{L"宋体", L"SimSun", L"NSimSun"}, L"simsun.ttc", nullptr},
    {{L"黑体", L"SimHei", nullptr}, L"simhei.ttf", nullptr},
    {{L"等线", L"DengXian", nullptr}, L"Deng.ttf", L"Dengb.ttf"},
    {{L"Segoe UI", nullptr, nullptr}, L"segoeui.ttf", L"segoeuib.ttf"},
    {{L"Arial", nullptr, nullptr}, L"arial.ttf", L"arialbd.ttf"},
    {{L"Tahoma", nullptr, nullptr}, L"tahoma.ttf", L"tahomabd.ttf"},
};

// Sans serif faces with simplified Chinese, best first, for names the folder lacks.
const wchar_t* const kCjkFallbacks[] = {L"msyh.ttc", L"msyh.ttf", L"Deng.ttf", L"simhei.ttf",
                                        L"simsun.ttc", L"msjh.ttc", L"simsun.ttf"};

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
}

std::wstring FontsFolder() {
  wchar_t windows[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return L"C:\\Windows\\Fonts\\";
  std::wstring folder(windows, length);
  if (folder.back() != L'\\') folder += L'\\';
  return folder + L"Fonts\\";
}

bool Exists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FontFaceFile> Face(const std::wstring& path) {
  // FreeType opens files with the C library's fopen, which reads the ANSI code page.
  std::string narrow = Utils::ToNarrow(path, Utils::kCodePageAnsi);
  if (narrow.empty() || Utils::ToWide(narrow, Utils::kCodePageAnsi) != path) return std::nullopt;
  return FontFaceFile{narrow, 0, nullptr, 0};
}

// Any outline face of the folder, the first by name, so the choice is repeatable.
std::optional<FontFaceFile> AnyFace(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  do {
    const std::wstring name = Lower(found.cFileName);
    if (name.size() > 4 && (name.ends_with(L".ttf") || name.ends_with(L".ttc") || name.ends_with(L".otf"))) {
      names.push_back(found.cFileName);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  for (const std::wstring& name : names) {
    if (auto face = Face(folder + name)) return face;
  }
  return std::nullopt;
}

// The face GDI itself picks for the name with the Chinese character set
// (its own substitutes and font links included), as bytes: Wine, for one,
// keeps the system's fonts outside the fonts folder and hands them out this way.
std::optional<FontFaceFile> GdiFace(const FontDescription& description, BYTE charset = GB2312_CHARSET) {
  LOGFONTW font{};
  font.lfHeight = -std::max(description.size, 1);
  font.lfWeight = description.bold ? FW_BOLD : FW_NORMAL;
  font.lfItalic = description.italic ? TRUE : FALSE;
  font.lfCharSet = charset;
  font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  description.name.copy(font.lfFaceName, LF_FACESIZE - 1);
  HFONT handle = CreateFontIndirectW(&font);
  if (handle == nullptr) return std::nullopt;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, handle);
  std::optional<FontFaceFile> face;
  // A collection is only whole from its header ('ttcf'); a single font from offset 0.
  constexpr DWORD kCollection = 0x66637474;
  DWORD table = kCollection;
  DWORD size = GetFontData(dc, table, 0, nullptr, 0);
  if (size == GDI_ERROR || size == 0) {
    table = 0;
    size = GetFontData(dc, table, 0, nullptr, 0);
  }
  if (size != GDI_ERROR && size > 0) {
    auto bytes = std::make_shared<std::vector<unsigned char>>(size);
    if (GetFontData(dc, table, 0, bytes->data(), size) == size) {
      wchar_t chosen[LF_FACESIZE] = {};
      GetTextFaceW(dc, LF_FACESIZE, chosen);
      face = FontFaceFile{};
      face->size = bytes->size();
      face->data = std::shared_ptr<const unsigned char>(bytes, bytes->data());
      face->index = 0;
      DEBUG_LOG(L"font %s: none in the fonts folder, using the system's face %s", description.name.c_str(), chosen);
    }
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(handle);
  return face;
}

bool IsHangul(char32_t c) {
  return (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F);
}
bool IsKana(char32_t c) { return c >= 0x3040 && c <= 0x30FF; }

}  // namespace

std::vector<FontFaceFile> FindFallbackFaces(const FontDescription& description, char32_t character) {
  // The faces Windows ships for each script, the character's own first; the
  // renderer keeps the first that has the character.
  std::vector<const wchar_t*> files;
  struct Gdi {
    const wchar_t* name;
    BYTE charset;
  };
  std::vector<Gdi> gdi;
  if (IsHangul(character)) {
    files = {L"malgun.ttf", L"gulim.ttc"};
    gdi = {{L"Malgun Gothic", HANGEUL_CHARSET}, {L"Gulim", HANGEUL_CHARSET}};
  } else if (IsKana(character)) {
    files = {L"YuGothR.ttc", L"meiryo.ttc", L"msgothic.ttc"};
    gdi = {{L"Meiryo", SHIFTJIS_CHARSET}, {L"MS Gothic", SHIFTJIS_CHARSET}};
  } else if (character >= 0x2E80) {
    files = {L"msjh.ttc", L"msyh.ttc", L"mingliu.ttc"};
    gdi = {{L"Microsoft JhengHei", CHINESEBIG5_CHARSET}};
  } else {
    files = {L"segoeui.ttf", L"arial.ttf", L"tahoma.ttf"};
    gdi = {{L"Tahoma", EASTEUROPE_CHARSET}, {L"Tahoma", TURKISH_CHARSET}, {L"Arial", DEFAULT_CHARSET}};
  }
  const std::wstring folder = FontsFolder();
  std::vector<FontFaceFile> faces;
  for (const wchar_t* file : files) {
    if (!Exists(folder + file)) continue;
    if (auto face = Face(folder + file)) faces.push_back(std::move(*face));
  }
  for (const Gdi& g : gdi) {
    FontDescription named = description;
    named.name = g.name;
    if (auto face = GdiFace(named, g.charset)) faces.push_back(std::move(*face));
  }
  return faces;
}

std::optional<FontFaceFile> FindFontFace(const FontDescription& description) {
  const std::wstring folder = FontsFolder();
  const std::wstring wanted = Lower(description.name);
  for (const KnownFace& known : kKnownFaces) {
    const bool named = std::any_of(std::begin(known.names), std::end(known.names),
                                   [&](const wchar_t* n) { return n != nullptr && Lower(n) == wanted; });
    if (!named) continue;
    if (description.bold && known.bold != nullptr && Exists(folder + known.bold)) {
      return Face(folder + known.bold);
    }
    if (Exists(folder + known.regular)) return Face(folder + known.regular);
  }
  for (const wchar_t* file : kCjkFallbacks) {
    if (Exists(folder + file)) {
      DEBUG_LOG(L"font %s falls back to %s", description.name.c_str(), file);
      return Face(folder + file);
    }
  }
  if (auto system = GdiFace(description)) return system;
  auto any = AnyFace(folder);
  if (any) {
    DEBUG_LOG(L"font %s: no Chinese face in %s, using %s", description.name.c_str(), folder.c_str(),
              Utils::ToWide(any->path, Utils::kCodePageAnsi).c_str());
  } else {
    DEBUG_LOG(L"font %s: no face at all in %s", description.name.c_str(), folder.c_str());
  }
  return any;
}

}  // namespace Ui
