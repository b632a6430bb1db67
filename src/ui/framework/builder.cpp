#include "ui/framework/builder.h"

#include <pugixml.hpp>

#include "support/debug_log.h"
#include "ui/framework/attribute_values.h"
#include "ui/framework/button.h"
#include "ui/framework/combo.h"
#include "ui/framework/container.h"
#include "ui/framework/edit.h"
#include "ui/framework/label.h"
#include "ui/framework/progress.h"

namespace Ui {
namespace {

// UTF-8 to wide text; a malformed sequence becomes U+FFFD.
std::wstring Wide(const char* text) {
  std::wstring out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    char32_t c = *p;
    int extra = 0;
    if (c >= 0xF0 && c <= 0xF4) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0 && c <= 0xEF) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC2 && c <= 0xDF) {
      c &= 0x1F;
      extra = 1;
    } else if (c >= 0x80) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      ++p;
      continue;
    }
    ++p;
    bool bad = false;
    for (int i = 0; i < extra; ++i) {
      if ((*p & 0xC0) != 0x80) {
        bad = true;
        break;
      }
      c = (c << 6) | (*p & 0x3F);
      ++p;
    }
    if (bad || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      continue;
    }
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        continue;
      }
    }
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

bool IsElement(const pugi::xml_node& node) { return node.type() == pugi::node_element; }

struct BuildState {
  IBuilderCallback* callback;
  Layout* layout;
  int controls = 0;
  bool cutLogged = false;
};

void BuildChildren(BuildState& state, const pugi::xml_node& node, Container* parent, int depth);

std::unique_ptr<Control> BuildControl(BuildState& state, const pugi::xml_node& node, int depth) {
  const std::wstring element = Wide(node.name());
  if (depth > kMaxLayoutDepth || state.controls >= kMaxLayoutControls) {
    if (!state.cutLogged) {
      DEBUG_LOG(L"layout cut at element %s: deeper than %d or more than %d controls", element.c_str(),
                kMaxLayoutDepth, kMaxLayoutControls);
      state.cutLogged = true;
    }
    return nullptr;
  }
  std::unique_ptr<Control> control = CreateStandardControl(element);
  if (control == nullptr && state.callback != nullptr) control = state.callback->CreateControl(element);
  if (control == nullptr) {
    state.layout->skipped.push_back(element);
    return nullptr;
  }
  ++state.controls;
  for (const pugi::xml_attribute& attribute : node.attributes()) {
    control->SetAttribute(Wide(attribute.name()), Wide(attribute.value()));
  }
  if (Container* container = control->AsContainer()) {
    BuildChildren(state, node, container, depth + 1);
  } else if (auto* combo = dynamic_cast<Combo*>(control.get())) {
    for (const pugi::xml_node& item : node.children()) {
      if (IsElement(item)) combo->AddItem(Wide(item.attribute("text").value()));
    }
  }
  return control;
}

void BuildChildren(BuildState& state, const pugi::xml_node& node, Container* parent, int depth) {
  for (const pugi::xml_node& child : node.children()) {
    if (!IsElement(child)) continue;
    if (std::unique_ptr<Control> control = BuildControl(state, child, depth)) parent->Add(std::move(control));
  }
}

LayoutFont ReadFont(const pugi::xml_node& node) {
  LayoutFont font;
  for (const pugi::xml_attribute& attribute : node.attributes()) {
    const std::wstring name = Wide(attribute.name());
    const std::wstring value = Wide(attribute.value());
    if (NameEquals(name, L"id")) {
      font.id = ParseIntValue(value);
    } else if (NameEquals(name, L"name")) {
      font.description.name = value;
    } else if (NameEquals(name, L"size")) {
      font.description.size = std::clamp(ParseIntValue(value), 1, 400);
    } else if (NameEquals(name, L"bold")) {
      font.description.bold = ParseBoolValue(value);
    } else if (NameEquals(name, L"underline")) {
      font.description.underline = ParseBoolValue(value);
    } else if (NameEquals(name, L"italic")) {
      font.description.italic = ParseBoolValue(value);
    } else if (NameEquals(name, L"default")) {
      font.isDefault = ParseBoolValue(value);
    }
  }
  return font;
}

// Decimal numbers for the shadow setters: out-of-range values are refused.
void SetInRange(int& target, std::wstring_view value, int low, int high) {
  const int v = ParseIntValue(value);
  if (v >= low && v <= high) target = v;
}

}  // namespace

std::unique_ptr<Control> CreateStandardControl(std::wstring_view name) {
  if (NameEquals(name, L"Control")) return std::make_unique<Control>();
  if (NameEquals(name, L"Container")) return std::make_unique<VerticalLayout>();
  if (NameEquals(name, L"VerticalLayout")) return std::make_unique<VerticalLayout>();
  if (NameEquals(name, L"HorizontalLayout")) return std::make_unique<HorizontalLayout>();
  if (NameEquals(name, L"TabLayout")) return std::make_unique<TabLayout>();
  if (NameEquals(name, L"Label") || NameEquals(name, L"Text")) return std::make_unique<Label>();
  if (NameEquals(name, L"Button")) return std::make_unique<Button>();
  if (NameEquals(name, L"CheckBox") || NameEquals(name, L"Option")) return std::make_unique<CheckBox>();
  if (NameEquals(name, L"Edit")) return std::make_unique<Edit>();
  if (NameEquals(name, L"Progress")) return std::make_unique<Progress>();
  if (NameEquals(name, L"Combo")) return std::make_unique<Combo>();
  return nullptr;
}

void ApplyWindowAttribute(WindowAttributes& a, std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"size")) {
    const Size s = ParseSizeValue(value);
    a.size = {std::clamp(s.cx, 0, 4096), std::clamp(s.cy, 0, 4096)};
  } else if (NameEquals(name, L"caption")) {
    a.caption = ParseRectValue(value);
  } else if (NameEquals(name, L"roundcorner")) {
    const Size s = ParseSizeValue(value);
    a.roundCorner = {std::clamp(s.cx, 0, 200), std::clamp(s.cy, 0, 200)};
  } else if (NameEquals(name, L"showshadow")) {
    a.shadow.enabled = ParseBoolValue(value);
  } else if (NameEquals(name, L"shadowimage")) {
    a.shadow.image = std::wstring(value);
  } else if (NameEquals(name, L"shadowcorner")) {
    a.shadow.imageCorner = ParseRectValue(value);
  } else if (NameEquals(name, L"shadowsize")) {
    SetInRange(a.shadow.size, value, -20, 20);
  } else if (NameEquals(name, L"shadowsharpness")) {
    SetInRange(a.shadow.sharpness, value, 0, 20);
  } else if (NameEquals(name, L"shadowdarkness")) {
    SetInRange(a.shadow.darkness, value, 0, 255);
  } else if (NameEquals(name, L"shadowposition")) {
    const Size s = ParseSizeValue(value);
    if (s.cx >= -20 && s.cx <= 20 && s.cy >= -20 && s.cy <= 20) {
      a.shadow.offsetX = s.cx;
      a.shadow.offsetY = s.cy;
    }
  } else if (NameEquals(name, L"shadowcolor")) {
    if (auto c = ParseColorValue(value)) a.shadow.color = *c;
  } else if (NameEquals(name, L"focuscolor")) {
    if (auto c = ParseColorValue(value)) a.focusIndicator.color = *c;
  } else if (NameEquals(name, L"focuswidth")) {
    SetInRange(a.focusIndicator.width, value, 0, 8);
  } else if (NameEquals(name, L"focusgap")) {
    SetInRange(a.focusIndicator.gap, value, 0, 8);
  } else if (NameEquals(name, L"focusround")) {
    SetInRange(a.focusIndicator.round, value, 0, 32);
  }
}

LayoutResult BuildLayout(std::string_view xml, IBuilderCallback* callback) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
  if (!parsed) {
    return {nullptr, L"layout is not well-formed XML: " + Wide(parsed.description()) + L" at byte " +
                         std::to_wstring(parsed.offset)};
  }
  const pugi::xml_node root = document.document_element();
  if (!NameEquals(Wide(root.name()), L"Window")) {
    return {nullptr, L"layout root is not a Window element"};
  }
  auto layout = std::make_unique<Layout>();
  for (const pugi::xml_attribute& attribute : root.attributes()) {
    ApplyWindowAttribute(layout->attributes, Wide(attribute.name()), Wide(attribute.value()));
  }
  BuildState state{callback, layout.get()};
  for (const pugi::xml_node& child : root.children()) {
    if (!IsElement(child)) continue;
    const std::wstring name = Wide(child.name());
    if (NameEquals(name, L"Font")) {
      if (layout->fonts.size() < 256) layout->fonts.push_back(ReadFont(child));
      continue;
    }
    if (NameEquals(name, L"Default") || NameEquals(name, L"Image") || NameEquals(name, L"Style")) continue;
    if (layout->root != nullptr) {
      // One tree per window; a second one is a mistake of the layout.
      layout->skipped.push_back(name);
      continue;
    }
    layout->root = BuildControl(state, child, 1);
  }
  return {std::move(layout), L""};
}

void InstallLayout(Window& window, Layout&& layout) {
  for (const LayoutFont& font : layout.fonts) window.AddFont(font.id, font.description, font.isDefault);
  window.SetAttributes(layout.attributes);
  window.SetRoot(std::move(layout.root));
}

}  // namespace Ui
