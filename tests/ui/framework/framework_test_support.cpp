#include "ui/framework/framework_test_support.h"

#include <cwchar>

#include "ui/framework/attribute_values.h"
#include "ui/framework/container.h"
#include "ui/framework/progress.h"
#include "ui/skin_package.h"

namespace FrameworkTest {

void FrameLabel::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (Ui::NameEquals(name, L"sequencebkimage")) {
    pattern_ = std::wstring(value);
  } else if (Ui::NameEquals(name, L"sequencecount")) {
    count_ = Ui::ParseIntValue(value);
  } else if (Ui::NameEquals(name, L"sequencespan")) {
    span_ = Ui::ParseIntValue(value);
  } else if (Ui::NameEquals(name, L"autostart")) {
    autoStart_ = value != L"false";
  } else if (Ui::NameEquals(name, L"sequenceround") || Ui::NameEquals(name, L"sequenceloop")) {
  } else {
    Ui::Label::SetAttribute(name, value);
  }
}

void FrameLabel::DoInit() {
  ShowFrame(0);
  if (autoStart_) SetTimer(kTimerId, static_cast<std::uint32_t>(std::max(1, span_)));
}

void FrameLabel::ShowFrame(int frame) {
  if (pattern_.empty()) return;
  frame_ = frame;
  wchar_t path[260];
  std::swprintf(path, 260, pattern_.c_str(), frame);
  SetBkImage(path);
}

void FrameLabel::DoEvent(const Ui::ControlEvent& event) {
  if (event.type == Ui::EventType::kTimer && event.timerId == kTimerId) {
    ShowFrame(count_ > 0 ? (frame_ + 1) % count_ : 0);
    return;
  }
  Ui::Label::DoEvent(event);
}

std::unique_ptr<Ui::Control> FrameLabelCallback::CreateControl(std::wstring_view elementName) {
  offered.emplace_back(elementName);
  if (Ui::NameEquals(elementName, L"SequenceLabel")) return std::make_unique<FrameLabel>();
  return nullptr;
}

SkinWindow::SkinWindow(std::wstring layout) : SkinWindow(std::move(layout), Ui::SkinPackageReader()) {}

SkinWindow::SkinWindow(std::wstring layout, FileReader reader)
    : Ui::SkinWindowBase(std::move(layout), std::move(reader)) {}

void ShowMainPage(Ui::Window& window, int page) {
  static const wchar_t* const backgrounds[] = {L"res\\mainWnd\\bg1.png", L"res\\mainWnd\\bg2.png",
                                               L"res\\mainWnd\\bg3.png", L"res\\mainWnd\\bg4.png"};
  if (auto* tabs = window.Find<Ui::TabLayout>(L"mainTabLt")) tabs->SelectItem(page);
  if (Ui::Control* body = window.FindControl(L"winCtn")) body->SetBkImage(backgrounds[page & 3]);
  if (auto* title = window.Find<Ui::TabLayout>(L"titleTabLt")) {
    if (page != 2) title->SelectItem(page == 3 ? 2 : 1);
  }
  if (Ui::Control* group = window.FindControl(L"titleGrpCtn")) group->SetVisible(page != 2);
  if (Ui::Control* back = window.FindControl(L"backBtn")) back->SetVisible(page == 1);
}

}  // namespace FrameworkTest
