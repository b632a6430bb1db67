// Reads which page of the installer's main window a screen shows, as a
// person would by looking at it. The four pages are rendered offscreen by
// the installer's own window from the skin packed into this program, in one
// interface language, so a page matches only when its texts are in that
// language; a picture of the real window shows a
// page when it matches that page's steady part: everything except the
// controls that change under the pointer (hover images) or with the
// installation (animation, progress text and bar, the folder edit).
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

#include "ui/framework/geometry.h"
#include "ui/framework/window.h"
#include "ui/window/real_screen.h"

namespace RealWindow {

class PageReader {
 public:
  static constexpr int kNoPage = -1;

  // `language`: the index of the interface language the pages speak.
  explicit PageReader(int language = 0);

  // Empty once the pages are rendered; otherwise why they are not.
  const std::string& Error() const { return error_; }
  Ui::Size WindowSize() const { return size_; }

  // The page a picture of the window's client area shows, or kNoPage while
  // it shows none of them clearly (a page change half presented).
  int PageShown(const Picture& window) const;
  // The share of a page's steady pixels that the picture shows, 0..1.
  double Match(const Picture& window, int page) const;

  // The share of a control's pixels on `page` that the picture shows as
  // this reader rendered them, 0..1: whether its text is in this reader's
  // language (a control under the pointer looks otherwise too).
  double MatchControl(const Picture& window, int page, const std::wstring& control) const;

  // The middle of a named control on its page, in window coordinates; nothing
  // for a control this reader does not know.
  std::optional<Ui::Point> CentreOf(const std::wstring& control) const;
  std::optional<Ui::Rect> RectOf(const std::wstring& control) const;

  // Whether the keyboard's focus ring shows around a named control.
  bool FocusRingAround(const Picture& window, const std::wstring& control) const;

  // How far the installing page's progress bar is filled, 0..1: the share of
  // its columns that look filled rather than empty.
  double ProgressShown(const Picture& window) const;

 private:
  struct Page {
    Picture reference;
    std::vector<bool> steady;  // per pixel
    std::size_t steadyCount = 0;
  };

  std::string error_;
  Ui::Size size_;
  std::array<Page, 4> pages_;
  std::map<std::wstring, Ui::Rect> controls_;
  std::map<std::wstring, Ui::Rect> rings_;
  Ui::FocusIndicatorStyle focusStyle_;
  Picture barEmpty_;
  Picture barFull_;
};

// Whether two pixels look the same (a little slack for colour conversions
// between the program's picture and the screen).
bool SamePixel(std::uint32_t a, std::uint32_t b);

}  // namespace RealWindow
