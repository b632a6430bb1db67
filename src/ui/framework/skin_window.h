// The base of every skinned window: builds itself from a layout file of the
// skin package, offers unknown elements to its builder callback, and behaves
// as the installer's frames do: the layout's "caption" strip drags the
// window, Escape never closes it (a dialog may let Escape answer as its
// close button does), a close request closes it with code 1.
// It listens to its own notifications first; the default handling of a
// click closes the window ("closebtn", code 1) or minimises it ("minbtn").
// Derived windows override Notify or OnClick and call these for the rest.
#pragma once

#include <string>

#include "ui/framework/window.h"

namespace Ui {

class SkinWindowBase : public Window, public INotifyListener {
 public:
  // `layoutFile` is found in the package by `reader` (normally the program's skin package).
  SkinWindowBase(std::wstring layoutFile, FileReader reader);
  // Reads and builds the layout, then makes the host and shows the window.
  // A missing or damaged layout gives a window without controls (logged),
  // as the installer's guarded control lookups expect.
  bool Create(IHostFactory& factory, Window* owner) override;
  const std::wstring& LayoutFile() const { return layoutFile_; }
  // The window class name: the layout file name without its extension.
  std::wstring ClassName() const;
  // The error of the last build, empty when it went well.
  const std::wstring& BuildError() const { return buildError_; }

  void Notify(const Notification& notification) override;
  virtual void OnClick(const Notification& notification);

 protected:
  // The builder callback for elements the framework does not know.
  virtual IBuilderCallback* BuilderCallback() { return nullptr; }
  // The layout's controls exist; the window is not shown yet.
  virtual void OnLayoutBuilt() {}
  // Escape clicks "closebtn" (a dialog's "no answer").
  void SetEscapeClicksClose(bool clicks) { escapeClicksClose_ = clicks; }
  bool OnEscapeKey() override;

 private:
  bool escapeClicksClose_ = false;
  std::wstring layoutFile_;
  std::wstring buildError_;
};


}  // namespace Ui
