// A skin image as a control paints it: the image attribute of the layout
// ("file='…' source='…' corner='…' …") and the image file it names, decoded
// and drawn into the window.
#include "fuzz/fuzz_targets.h"

#include "support/text.h"
#include "ui/framework/framework_test_support.h"
#include "ui/framework/image.h"
#include "ui/framework/offscreen_host.h"

namespace Fuzz {

namespace {

std::string XmlAttributeText(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::string CheckSkinImage(const std::uint8_t* data, std::size_t size) {
  static Ui::OffscreenEnvironment environment;
  InputReader input(data, size);
  const std::string attribute(input.TakeUntilZero());
  const std::string image(input.Rest());

  const std::wstring wide = Utils::ToWide(attribute, Utils::kCodePageUtf8);
  const std::optional<Ui::ImageAttribute> parsed = Ui::ParseImageAttribute(wide);
  if (parsed && parsed->file.empty() && wide.find(L"file=") == std::wstring::npos)
    return "a plain path gave no file";
  if (const auto decoded = Ui::Image::Decode(std::vector<std::uint8_t>(image.begin(), image.end()))) {
    if (decoded->Width() <= 0 || decoded->Height() <= 0) return "a decoded image has no pixels";
  }

  const std::string layout =
      "<Window size=\"120,90\"><HorizontalLayout bkimage=\"" + XmlAttributeText(attribute) +
      "\"><Button width=\"40\" normalimage=\"" + XmlAttributeText(attribute) + "\"/></HorizontalLayout></Window>";
  FrameworkTest::SkinWindow window(L"image.xml", [&](const std::wstring& path) -> std::optional<std::string_view> {
    if (path == L"image.xml") return std::string_view(layout);
    return std::string_view(image);
  });
  if (!window.Create(environment, nullptr)) return {};
  environment.HostOf(window)->Click({60, 45});
  environment.AdvanceTime(40);
  return {};
}

}  // namespace Fuzz
