#include "ui/install_progress.h"

#include <algorithm>

namespace Installer {

namespace {

constexpr double kStepPerReport = 0.15;
constexpr double kMostShownWithoutReport = 0.95;
constexpr std::size_t kTextBufferCharacters = 250;

// Values from the package and the settings may be anything: clamped before
// any conversion (NaN as 0), so the bar and its text stay within 0..100.
double Share(double value) {
  if (!(value > 0.0)) return 0.0;
  return value < 1.0 ? value : 1.0;
}

int TruncatedPercent(double share) { return static_cast<int>(Share(share) * 100.0); }

}  // namespace

int InstallProgress::DownloadPercent(double fraction) const {
  return TruncatedPercent(Share(fraction) * Share(downloadScale_));
}

int InstallProgress::InstallPercent(double fraction) {
  installShown_ = std::min(installShown_ + kStepPerReport, kMostShownWithoutReport);
  if (Share(fraction) > installShown_) installShown_ = Share(fraction);
  const double scale = Share(downloadScale_);
  return TruncatedPercent((1.0 - scale) * installShown_ + scale);
}

std::wstring ProgressTemplate(const std::wstring& userdata, float downloadSeconds,
                              const std::wstring& shortWait, const std::wstring& longWait) {
  if (!userdata.empty()) return userdata;
  return downloadSeconds > kLongWaitSeconds ? longWait : shortWait;
}

std::wstring FormatProgressText(const std::wstring& textTemplate, int percent) {
  // The template may come from the skin: it is interpreted here rather than
  // handed to a printf-style function, where a second "%d" or a "%s" would
  // read memory that was never passed.
  std::wstring text;
  bool numberUsed = false;
  for (std::size_t i = 0; i < textTemplate.size(); ++i) {
    const wchar_t c = textTemplate[i];
    if (c == L'%' && i + 1 < textTemplate.size()) {
      const wchar_t next = textTemplate[i + 1];
      if (next == L'%') {
        text += L'%';
        ++i;
        continue;
      }
      if (next == L'd' && !numberUsed) {
        text += std::to_wstring(percent);
        numberUsed = true;
        ++i;
        continue;
      }
    }
    text += c;
  }
  // What a buffer of 250 characters with its terminating zero can hold.
  if (text.size() > kTextBufferCharacters - 1) text.resize(kTextBufferCharacters - 1);
  return text;
}

}  // namespace Installer
