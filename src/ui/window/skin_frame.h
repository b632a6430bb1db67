// What the installer's skinned windows share beyond the framework's
// SkinWindowBase (caption dragging, Escape swallowed, the layout's drop
// shadow): the skin package as the default source, the sequence controls
// for the layout elements the framework does not know, and each layout's
// keyboard roles.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ui/framework/skin_window.h"
#include "ui/skin_package.h"

namespace Installer {

class CSkinFrame : public Ui::SkinWindowBase, public Ui::IBuilderCallback {
 public:
  explicit CSkinFrame(std::wstring layoutFile, FileReader reader = Ui::SkinPackageReader());

  // "SequenceLabel" and "SequenceButton"; nothing for other names.
  std::unique_ptr<Ui::Control> CreateControl(std::wstring_view elementName) override;

 protected:
  Ui::IBuilderCallback* BuilderCallback() override { return this; }
  // The main actions and the Escape rule of this layout (keyboard_roles.h).
  void OnLayoutBuilt() override;
};

}  // namespace Installer
