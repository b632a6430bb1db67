// The layout builder: a layout file built into controls, installed in a
// window, laid out, given input and painted, as the installer's windows are.
#include "fuzz/fuzz_targets.h"

#include <algorithm>

#include "ui/framework/builder.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/offscreen_host.h"
#include "ui/skin_package.h"

namespace Fuzz {

std::string CheckLayout(const std::uint8_t* data, std::size_t size) {
  static Ui::OffscreenEnvironment environment;
  FrameworkTest::FrameLabelCallback callback;
  Ui::LayoutResult result = Ui::BuildLayout(std::string_view(reinterpret_cast<const char*>(data), size), &callback);
  if (result.layout == nullptr) return result.error.empty() ? "a refused layout gives no reason" : "";
  // A small canvas: the target is about the builder and the layout.
  result.layout->attributes.size = {std::min(result.layout->attributes.size.cx, 320),
                                    std::min(result.layout->attributes.size.cy, 240)};
  FrameworkTest::SkinWindow window(L"", Ui::SkinPackageReader());
  Ui::InstallLayout(window, std::move(*result.layout));
  if (!window.Ui::Window::Create(environment, nullptr)) return {};
  Ui::OffscreenHost* host = environment.HostOf(window);
  for (int i = 0; i < 4; ++i) {
    const Ui::Point p{(i * 53) % 320, (i * 37) % 240};
    host->Click(p);
    host->KeyDown(Ui::Key::kTab);
    host->TypeText(L"x");
  }
  environment.AdvanceTime(60);
  return {};
}

}  // namespace Fuzz
