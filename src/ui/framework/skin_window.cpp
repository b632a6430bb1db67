#include "ui/framework/skin_window.h"

#include "support/debug_log.h"
#include "ui/framework/builder.h"

namespace Ui {

SkinWindowBase::SkinWindowBase(std::wstring layoutFile, FileReader reader)
    : Window(std::move(reader)), layoutFile_(std::move(layoutFile)) {}

std::wstring SkinWindowBase::ClassName() const {
  const std::size_t dot = layoutFile_.rfind(L'.');
  return dot == std::wstring::npos ? layoutFile_ : layoutFile_.substr(0, dot);
}

bool SkinWindowBase::Create(IHostFactory& factory, Window* owner) {
  std::optional<std::string_view> bytes = Reader() ? Reader()(layoutFile_) : std::nullopt;
  if (!bytes) {
    buildError_ = L"layout not found: " + layoutFile_;
  } else {
    LayoutResult result = BuildLayout(*bytes, BuilderCallback());
    if (result.layout == nullptr) {
      buildError_ = result.error;
    } else {
      buildError_.clear();
      for (const std::wstring& skipped : result.layout->skipped) {
        DEBUG_LOG(L"%s: no control for element %s", layoutFile_.c_str(), skipped.c_str());
      }
      InstallLayout(*this, std::move(*result.layout));
      if (GetTextSource()) Translate();
      OnLayoutBuilt();
    }
  }
  if (!buildError_.empty()) DEBUG_LOG(L"%s", buildError_.c_str());
  AddNotifier(this);
  return Window::Create(factory, owner);
}

void SkinWindowBase::Notify(const Notification& notification) {
  if (notification.type == L"click") OnClick(notification);
}

void SkinWindowBase::OnClick(const Notification& notification) {
  if (notification.sender == nullptr) return;
  const std::wstring& name = notification.sender->Name();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    if (Host() != nullptr) Host()->Minimize();
  }
}

bool SkinWindowBase::OnEscapeKey() {
  if (!escapeClicksClose_) return false;
  Control* close = FindControl(L"closebtn");
  return close != nullptr && close->Activate();
}

}  // namespace Ui
