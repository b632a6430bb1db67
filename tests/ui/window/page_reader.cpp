#include "ui/window/page_reader.h"

#include <cstdlib>
#include <vector>

#include "support/installer_settings.h"
#include "ui/framework/canvas.h"
#include "ui/framework/container.h"
#include "ui/framework/offscreen_host.h"
#include "ui/framework/progress.h"
#include "ui/window/main_wnd.h"
#include "ui/skin_package.h"

namespace RealWindow {

namespace {

// A page is shown when this share of its steady pixels is on the screen. The
// closest two pages differ in about 2 % of them: the installing page's steady
// part (its animation and texts left out) against the finish page, which
// has the title bar's buttons and the "安装完成" text there.
constexpr double kShownShare = 0.995;

// The controls of each page whose look changes while a person uses it.
const std::vector<std::wstring> kChanging[4] = {
    {L"defaultInstallBtn", L"customeBtn", L"tipLbl", L"minbtn", L"closebtn", L"languageCombo"},
    {L"backBtn", L"languageCombo", L"installDirEdit", L"chDirBtn", L"createDSCb", L"createQSCb", L"customeInstallBtn", L"minbtn",
     L"closebtn"},
    {L"progressAnLb", L"progressLb", L"installPrg"},
    {L"openProduceBtn", L"minbtn", L"closebtn"},
};

Picture PictureOf(const Ui::Canvas& canvas) {
  Picture picture;
  picture.width = canvas.Width();
  picture.height = canvas.Height();
  const std::size_t count = static_cast<std::size_t>(canvas.Width()) * static_cast<std::size_t>(canvas.Height());
  picture.pixels.reserve(count);
  // Premultiplied: the colour as it shows over black, as a screen without
  // translucency shows it.
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* px = canvas.Pixels() + i * 4;
    picture.pixels.push_back(static_cast<std::uint32_t>(px[0]) << 16 | static_cast<std::uint32_t>(px[1]) << 8 |
                             px[2]);
  }
  return picture;
}

int Distance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  for (int shift : {0, 8, 16}) sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
  return sum;
}

}  // namespace

bool SamePixel(std::uint32_t a, std::uint32_t b) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 12) return false;
  }
  return true;
}

PageReader::PageReader(int language) {
  Ui::OffscreenEnvironment environment;
  Installer::InstallerSettings& settings = Installer::TheInstallerSettings();
  const Installer::InstallerSettings saved = settings;
  settings.language = language;
  // Records of its own, so that no earlier installation of the machine shows.
  Installer::CMainWnd window(Ui::SkinPackageReader(), L"Software\\ZorvanSoft\\TalvorinPageReader");
  const bool built = window.Create(environment, nullptr) && window.BuildError().empty();
  settings = saved;
  if (!built || window.LanguageIndex() != language) {
    error_ = "the main window did not build from the skin in language " + std::to_string(language);
    return;
  }
  for (int page = 0; page < 4; ++page) {
    if (auto* tabs = window.Find<Ui::TabLayout>(L"mainTabLt")) tabs->SelectItem(page);
    environment.RunUntilIdle();
    Page& p = pages_[static_cast<std::size_t>(page)];
    p.reference = PictureOf(*window.GetCanvas());
    p.steady.assign(p.reference.pixels.size(), true);
    for (const std::wstring& name : kChanging[page]) {
      const Ui::Control* control = window.FindControl(name);
      if (control == nullptr) continue;
      // The keyboard's focus ring is drawn around the control, so its
      // surroundings change with it.
      const Ui::Rect r = window.FocusRingRect(*control).Intersect({0, 0, p.reference.width, p.reference.height});
      controls_[name] = control->Position();
      rings_[name] = window.FocusRingRect(*control);
      for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) p.steady[static_cast<std::size_t>(y) * p.reference.width + x] = false;
      }
    }
    for (bool steady : p.steady) p.steadyCount += steady ? 1 : 0;
    // Controls whose text tells the language.
    for (const wchar_t* name : {L"lbLanguage", L"lbInstallPath", L"lbOtherOptions"}) {
      if (const Ui::Control* control = window.FindControl(name)) controls_[name] = control->Position();
    }
    if (page == 2) {
      auto* bar = window.Find<Ui::Progress>(L"installPrg");
      if (bar == nullptr) {
        error_ = "the skin has no progress bar \"installPrg\"";
        return;
      }
      const Ui::Rect r = bar->Position();
      bar->SetValue(100);
      environment.RunUntilIdle();
      barFull_ = PictureOf(*window.GetCanvas()).Part(r);
      bar->SetValue(0);
      environment.RunUntilIdle();
      barEmpty_ = PictureOf(*window.GetCanvas()).Part(r);
    }
  }
  window.Close(1);
  size_ = {pages_[0].reference.width, pages_[0].reference.height};
  focusStyle_ = window.Attributes().focusIndicator;
  // The pages must be told apart by their steady parts alone.
  for (int shown = 0; shown < 4; ++shown) {
    for (int page = 0; page < 4; ++page) {
      if (page != shown && Match(pages_[static_cast<std::size_t>(shown)].reference, page) >= kShownShare) {
        error_ = "pages " + std::to_string(shown) + " and " + std::to_string(page) + " look alike";
        return;
      }
    }
  }
}

double PageReader::Match(const Picture& window, int page) const {
  if (page < 0 || page > 3) return 0.0;
  const Page& p = pages_[static_cast<std::size_t>(page)];
  if (window.width != p.reference.width || window.height != p.reference.height || p.steadyCount == 0) return 0.0;
  std::size_t same = 0;
  for (std::size_t i = 0; i < p.steady.size(); ++i) {
    if (p.steady[i] && SamePixel(window.pixels[i], p.reference.pixels[i])) ++same;
  }
  return static_cast<double>(same) / static_cast<double>(p.steadyCount);
}

int PageReader::PageShown(const Picture& window) const {
  int best = kNoPage;
  double bestShare = kShownShare;
  for (int page = 0; page < 4; ++page) {
    const double share = Match(window, page);
    if (share >= bestShare) {
      best = page;
      bestShare = share;
    }
  }
  return best;
}

double PageReader::MatchControl(const Picture& window, int page, const std::wstring& control) const {
  const std::optional<Ui::Rect> r = RectOf(control);
  if (!r || page < 0 || page > 3) return 0.0;
  const Page& p = pages_[static_cast<std::size_t>(page)];
  if (window.width != p.reference.width || window.height != p.reference.height) return 0.0;
  const Ui::Rect in = r->Intersect({0, 0, p.reference.width, p.reference.height});
  std::size_t same = 0, all = 0;
  for (int y = in.top; y < in.bottom; ++y) {
    for (int x = in.left; x < in.right; ++x) {
      ++all;
      if (SamePixel(window.At(x, y), p.reference.At(x, y))) ++same;
    }
  }
  return all == 0 ? 0.0 : static_cast<double>(same) / static_cast<double>(all);
}

std::optional<Ui::Rect> PageReader::RectOf(const std::wstring& control) const {
  const auto found = controls_.find(control);
  if (found == controls_.end()) return std::nullopt;
  return found->second;
}

std::optional<Ui::Point> PageReader::CentreOf(const std::wstring& control) const {
  const std::optional<Ui::Rect> r = RectOf(control);
  if (!r) return std::nullopt;
  return Ui::Point{(r->left + r->right) / 2, (r->top + r->bottom) / 2};
}

bool PageReader::FocusRingAround(const Picture& window, const std::wstring& control) const {
  const auto found = rings_.find(control);
  if (found == rings_.end() || window.width != size_.cx || window.height != size_.cy) return false;
  const Ui::Rect& ring = found->second;
  const int width = focusStyle_.width;
  const int round = focusStyle_.round;
  // The straight parts of the ring's four sides, where it is solid.
  int looked = 0, ringColoured = 0;
  auto look = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= window.width || y >= window.height) return;
    ++looked;
    if (SamePixel(window.At(x, y), focusStyle_.color & 0xFFFFFF)) ++ringColoured;
  };
  for (int x = ring.left + round; x < ring.right - round; ++x) {
    for (int d = 0; d < width; ++d) {
      look(x, ring.top + d);
      look(x, ring.bottom - 1 - d);
    }
  }
  for (int y = ring.top + round; y < ring.bottom - round; ++y) {
    for (int d = 0; d < width; ++d) {
      look(ring.left + d, y);
      look(ring.right - 1 - d, y);
    }
  }
  return looked > 0 && ringColoured * 10 >= looked * 9;
}

double PageReader::ProgressShown(const Picture& window) const {
  const std::optional<Ui::Rect> r = RectOf(L"installPrg");
  if (!r || window.width != size_.cx || window.height != size_.cy) return 0.0;
  const Picture bar = window.Part(*r);
  if (bar.width != barFull_.width || bar.height != barFull_.height) return 0.0;
  int filled = 0, telling = 0;
  for (int x = 0; x < bar.width; ++x) {
    int toFull = 0, toEmpty = 0;
    for (int y = 0; y < bar.height; ++y) {
      toFull += Distance(bar.At(x, y), barFull_.At(x, y));
      toEmpty += Distance(bar.At(x, y), barEmpty_.At(x, y));
    }
    if (toFull == toEmpty) continue;  // a column that looks the same either way
    ++telling;
    if (toFull < toEmpty) ++filled;
  }
  return telling == 0 ? 0.0 : static_cast<double>(filled) / telling;
}

}  // namespace RealWindow
