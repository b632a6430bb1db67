// Builds a control tree from a layout ("Window" root with "Font" elements and
// one control tree). Known elements: Control, Container, VerticalLayout,
// HorizontalLayout, TabLayout, Label, Text, Button, CheckBox, Option, Edit,
// Progress, Combo. Any other element goes to the builder callback; when that
// gives nothing the element and everything inside it are skipped. Unknown
// attributes are ignored. Damaged layouts never fail hard: too deep or too
// large trees are cut (and logged), unreadable numbers count as 0.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/framework/control.h"
#include "ui/framework/font.h"
#include "ui/framework/window.h"

namespace Ui {

inline constexpr int kMaxLayoutDepth = 64;
inline constexpr int kMaxLayoutControls = 5000;

struct LayoutFont {
  int id = 0;
  FontDescription description;
  bool isDefault = false;
};

struct Layout {
  WindowAttributes attributes;
  std::vector<LayoutFont> fonts;
  std::unique_ptr<Control> root;
  std::vector<std::wstring> skipped;  // element names nobody could build
};

struct LayoutResult {
  std::unique_ptr<Layout> layout;  // null on failure
  std::wstring error;              // why, when it failed
};

// `xml` is the layout file's bytes (UTF-8, or UTF-16 with a byte-order mark).
LayoutResult BuildLayout(std::string_view xml, IBuilderCallback* callback);

// A control for a known element name, nullptr for any other.
std::unique_ptr<Control> CreateStandardControl(std::wstring_view elementName);

// The window-level attributes (size, caption, roundcorner, shadow settings
// with their ranges) from one attribute of the root element.
void ApplyWindowAttribute(WindowAttributes& attributes, std::wstring_view name, std::wstring_view value);

// Puts a built layout into a window: fonts, attributes and the tree.
void InstallLayout(Window& window, Layout&& layout);

}  // namespace Ui
