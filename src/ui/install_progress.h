// How download and installation progress become one progress bar and one
// line of text on the installing page: the download fills the first
// `downloadScale` of the bar, the installation the rest, and every
// installation report moves the bar on even when the package reports nothing
// new, so the user always sees it advance.
#pragma once

#include <string>

namespace Installer {

inline constexpr wchar_t kProgressTextShortWait[] = L"正在安装中:%d%%，请稍候...";
inline constexpr wchar_t kProgressTextLongWait[] = L"正在安装中:%d%%，请耐心等待...";
// After this long downloading, the text asks for patience instead.
inline constexpr float kLongWaitSeconds = 60.0f;

class InstallProgress {
 public:
  explicit InstallProgress(double downloadScale) : downloadScale_(downloadScale) {}

  // Percent of the bar for a download at `fraction` (0..1), truncated.
  int DownloadPercent(double fraction) const;
  // Percent of the bar for an installation report of `fraction` (0..1): each
  // report adds 0.15 of the installation's share (up to 0.95 of it) and a
  // larger reported fraction wins. Truncated.
  int InstallPercent(double fraction);

  double InstallShown() const { return installShown_; }

 private:
  double downloadScale_;
  double installShown_ = 0.0;
};

// The template of the progress text: the skin's own (the "userdata" of the
// progress label) when it has one, otherwise the wording for the time spent
// downloading so far.
// The two wordings come from the interface language.
std::wstring ProgressTemplate(const std::wstring& userdata, float downloadSeconds,
                              const std::wstring& shortWait = kProgressTextShortWait,
                              const std::wstring& longWait = kProgressTextLongWait);

// The template with the percent put in, as a 250-character buffer holds it.
// Only one "%d" (and "%%") is honoured: a skin's template can never make the
// formatting read arguments that are not there.
std::wstring FormatProgressText(const std::wstring& textTemplate, int percent);

}  // namespace Installer
