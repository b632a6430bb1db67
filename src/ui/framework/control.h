// The base of every control: position in the window, the layout's size
// requests, visibility and enabling, the common paint steps (background
// colour, background image, state image, text, border) and the input events
// the window routes to it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/framework/geometry.h"
#include "ui/framework/host.h"
#include "ui/framework/image.h"

namespace Ui {

class Canvas;
class Container;
class Window;

enum class EventType {
  kMouseEnter,
  kMouseLeave,
  kMouseMove,
  kButtonDown,
  kButtonUp,
  kKeyDown,
  kChar,
  kSetFocus,
  kKillFocus,
  kTimer,
  kComposition,  // the input method's text being composed
};

struct ControlEvent {
  explicit ControlEvent(EventType eventType = EventType::kMouseMove, Point at = {}) : type(eventType), point(at) {}
  EventType type;
  Point point;              // mouse events, window coordinates
  int key = 0;              // kKeyDown: key code (Ui::Key)
  KeyModifiers modifiers;   // kKeyDown and mouse events
  char32_t character = 0;   // kChar
  std::uintptr_t timerId = 0;  // kTimer
  std::wstring text;           // kComposition: empty when composing ended
};

// Control states, combined.
enum ControlState : unsigned {
  kStateHot = 1u << 0,
  kStatePushed = 1u << 1,
  kStateFocused = 1u << 2,
  kStateSelected = 1u << 3,
  kStateCaptured = 1u << 4,
};

class Control {
 public:
  Control();
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual std::wstring_view ClassName() const { return L"Control"; }
  virtual Container* AsContainer() { return nullptr; }

  const std::wstring& Name() const { return name_; }
  void SetName(std::wstring name);
  Window* GetWindow() const { return window_; }
  Control* Parent() const { return parent_; }

  // ---- layout ---------------------------------------------------------------
  // The rectangle the layout gave this control, in window coordinates.
  const Rect& Position() const { return position_; }
  // Called by the parent's layout; containers lay out their children here.
  virtual void SetPosition(const Rect& rect);
  int FixedWidth() const { return fixedWidth_; }    // 0: flexible
  int FixedHeight() const { return fixedHeight_; }  // 0: flexible
  void SetFixedWidth(int width);
  void SetFixedHeight(int height);
  // "padding": the outer margin the parent's flow leaves around the control.
  const Rect& Padding() const { return padding_; }
  void SetPadding(const Rect& padding);
  // "float" with "pos": placed at `pos` relative to the parent, outside the flow.
  bool IsFloat() const { return float_; }
  const Rect& FloatPosition() const { return floatPosition_; }

  // ---- state ------------------------------------------------------------------
  bool IsVisible() const { return visible_; }  // its own flag
  bool IsShown() const;                       // its own flag and every parent's
  virtual void SetVisible(bool visible);
  bool IsEnabled() const { return enabled_; }  // its own flag
  bool IsEffectivelyEnabled() const;          // and every parent's
  virtual void SetEnabled(bool enabled);
  unsigned State() const { return state_; }
  bool IsFocused() const { return (state_ & kStateFocused) != 0; }
  bool IsHot() const { return (state_ & kStateHot) != 0; }
  // Takes the keyboard focus on a click and with Tab.
  virtual bool WantsFocus() const { return false; }
  // Reacts to the mouse (so a press on it never drags the window).
  virtual bool IsActive() const { return false; }
  // Whether a key pressed while it has the focus is its own; the window
  // gives Return to the default button and Escape to the window otherwise.
  virtual bool TakesKey(int key) const { (void)key; return false; }
  // "default": the button Return activates on its page; "initialfocus": the
  // control that has the focus when its page or window opens (else the
  // default button has it).
  bool IsDefault() const { return default_; }
  void SetDefault(bool isDefault) { default_ = isDefault; }
  bool IsInitialFocus() const { return initialFocus_; }
  void SetInitialFocus(bool initial) { initialFocus_ = initial; }
  // What a click on it does (a button's "click"); false when it does nothing.
  virtual bool Activate() { return false; }
  void SetFocus();

  const std::wstring& Text() const { return text_; }
  virtual void SetText(std::wstring text);
  // "textid": the number of the control's text in the window's text source
  // (Window::SetTextSource); -1 when it has none. The layout's own "text"
  // stays the fallback for a number the source lacks.
  int TextId() const { return textId_; }
  const std::wstring& LayoutText() const { return layoutText_; }
  // ---- assistive technologies (accessible_tree.h) ------------------------------
  // "accname": what a screen reader calls a control that shows no text (an
  // image button, the logo), or a field its neighbouring label names;
  // "accnameid" numbers it in the text source as "textid" does the text.
  const std::wstring& AccessibleName() const { return accessibleName_; }
  int AccessibleNameId() const { return accessibleNameId_; }
  const std::wstring& LayoutAccessibleName() const { return layoutAccessibleName_; }
  void SetAccessibleName(std::wstring name);
  // "decorative": an image that says nothing; never exposed.
  bool IsDecorative() const { return decorative_; }
  // "accmessage": the label whose text is its window's message, read out
  // when the dialog opens.
  bool IsAccessibleMessage() const { return accessibleMessage_; }

  const std::wstring& UserData() const { return userData_; }
  void SetUserData(std::wstring data) { userData_ = std::move(data); }
  const std::wstring& ToolTip() const { return toolTip_; }

  Color BkColor() const { return bkColor_; }
  void SetBkColor(Color color);
  // Sets the background image from an image attribute value (a plain path or
  // "file='…' …"); an empty value removes it.
  void SetBkImage(std::wstring_view value);
  const std::optional<ImageAttribute>& BkImage() const { return bkImage_; }

  // Applies one layout attribute. Unknown names are ignored.
  virtual void SetAttribute(std::wstring_view name, std::wstring_view value);

  // ---- window services ----------------------------------------------------------
  void Invalidate();
  bool SetTimer(std::uintptr_t id, std::uint32_t intervalMs);
  void KillTimer(std::uintptr_t id);

  // Routed by the window. The default turns a timer into a "timer"
  // notification (wParam = timer id).
  virtual void DoEvent(const ControlEvent& event);
  // Paints the parts of the control inside `clip` (window coordinates).
  virtual void Paint(Canvas& canvas, const Rect& clip);
  // The deepest shown control at `point`, or nullptr.
  virtual Control* FindControlAt(Point point);
  // Called once the control and its children belong to a window.
  virtual void DoInit() {}
  // A drop-down part painted over everything else while open (see Window::SetPopup).
  virtual Rect PopupRect() const { return {}; }
  virtual void PaintPopup(Canvas& canvas) { (void)canvas; }
  virtual void ClosePopup() {}

  // For the window and containers only.
  void AttachTo(Window* window, Control* parent);

 protected:
  virtual void PaintBkColor(Canvas& canvas);
  virtual void PaintBkImage(Canvas& canvas);
  virtual void PaintStatusImage(Canvas& canvas) { (void)canvas; }
  virtual void PaintText(Canvas& canvas) { (void)canvas; }
  virtual void PaintBorder(Canvas& canvas);
  // Draws an image attribute into this control's rectangle; false when the image
  // is missing (nothing drawn).
  bool DrawImage(Canvas& canvas, const std::optional<ImageAttribute>& attribute);
  void SetState(unsigned bits, bool on);
  // Asks the window to lay the tree out again (size or visibility changed).
  void NeedParentLayout();

  Color BorderColor() const { return borderColor_; }
  int BorderSize() const { return borderSize_; }
  Size BorderRound() const { return borderRound_; }
  Color focusBorderColor_ = 0;

 private:
  std::wstring name_;
  Window* window_ = nullptr;
  Control* parent_ = nullptr;
  Rect position_;
  int fixedWidth_ = 0;
  int fixedHeight_ = 0;
  Rect padding_;
  bool float_ = false;
  Rect floatPosition_;
  bool visible_ = true;
  bool enabled_ = true;
  bool default_ = false;
  bool initialFocus_ = false;
  unsigned state_ = 0;
  std::wstring text_;
  int textId_ = -1;
  std::wstring layoutText_;
  std::wstring userData_;
  std::wstring toolTip_;
  std::wstring accessibleName_;
  std::wstring layoutAccessibleName_;
  int accessibleNameId_ = -1;
  bool decorative_ = false;
  bool accessibleMessage_ = false;
  Color bkColor_ = 0;
  std::optional<ImageAttribute> bkImage_;
  Color borderColor_ = 0;
  int borderSize_ = 0;
  Size borderRound_;
};

}  // namespace Ui
