#include "ui/window/skin_frame.h"

#include "ui/window/keyboard_roles.h"
#include "ui/window/sequence_controls.h"

namespace Installer {

CSkinFrame::CSkinFrame(std::wstring layoutFile, FileReader reader)
    : SkinWindowBase(std::move(layoutFile), std::move(reader)) {}

std::unique_ptr<Ui::Control> CSkinFrame::CreateControl(std::wstring_view elementName) {
  if (elementName == L"SequenceLabel") return std::make_unique<SkinUI::CSequenceLabelUI>();
  if (elementName == L"SequenceButton") return std::make_unique<SkinUI::CSequenceButtonUI>();
  return nullptr;
}

void CSkinFrame::OnLayoutBuilt() {
  const KeyboardRoles roles = KeyboardRolesOf(LayoutFile());
  ApplyKeyboardRoles(*this, roles);
  SetEscapeClicksClose(roles.escapeClicksClose);
}

}  // namespace Installer
