// A window's portable core: the control tree, fonts and images, keyboard
// focus and mouse routing, named notifications, per-control timers, message
// filters, work posted from other threads, dirty-region tracking and modal
// runs. What shows the window is an IHost (host.h).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ui/framework/accessible_events.h"
#include "ui/framework/control.h"
#include "ui/framework/font.h"
#include "ui/framework/geometry.h"
#include "ui/framework/host.h"
#include "ui/framework/image.h"

namespace Ui {

class Canvas;

struct Notification {
  std::wstring type;              // "click", "selectchanged", "tabselect", "timer", ...
  Control* sender = nullptr;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
  Point point;                    // the mouse position when it was sent
  std::uint64_t timestamp = 0;    // IHost::NowMs when it was sent
};

class INotifyListener {
 public:
  virtual ~INotifyListener() = default;
  virtual void Notify(const Notification& notification) = 0;
};

// Sees the window's messages (close requests, keys, private messages posted
// with Window::PostMessage) before the window handles them; setting `handled`
// stops them there.
class IMessageFilter {
 public:
  virtual ~IMessageFilter() = default;
  virtual std::intptr_t MessageHandler(std::uint32_t message, std::uintptr_t wParam,
                                       std::intptr_t lParam, bool& handled) = 0;
};

// Offered every layout element the builder does not know.
class IBuilderCallback {
 public:
  virtual ~IBuilderCallback() = default;
  // A new control for `elementName`, or nullptr to skip the element.
  virtual std::unique_ptr<Control> CreateControl(std::wstring_view elementName) = 0;
};

// The window-wide attributes of a layout's root element.
// How the keyboard focus is shown ("focuscolor", "focuswidth", "focusgap",
// "focusround" on the layout's root): a ring around the focused control,
// drawn only while the person works with the keyboard. The default suits
// the shipped skin's blue buttons on its light pages.
struct FocusIndicatorStyle {
  Color color = 0xFF1675FE;
  int width = 2;  // 0: no ring
  int gap = 2;    // between the control and the ring
  int round = 6;  // corner radius of the ring
};

struct WindowAttributes {
  Size size;
  Rect caption;        // left and right are insets, top and bottom absolute
  Size roundCorner;
  ShadowSettings shadow;
  FocusIndicatorStyle focusIndicator;
};

class Window {
 public:
  using FileReader = std::function<std::optional<std::string_view>(const std::wstring& path)>;
  // Texts by number ("textid" of the layouts); nothing for a number it lacks.
  using TextSource = std::function<std::optional<std::wstring>(int id)>;

  // `reader` gives images (and layouts) by path; normally the skin package.
  explicit Window(FileReader reader);
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // ---- contents ---------------------------------------------------------------
  void SetRoot(std::unique_ptr<Control> root);
  Control* Root() const { return root_.get(); }
  const WindowAttributes& Attributes() const { return attributes_; }
  void SetAttributes(const WindowAttributes& attributes);
  void AddFont(int id, const FontDescription& description, bool isDefault);
  // The font with this id, else the default font, else a 14-pixel one.
  std::shared_ptr<Font> GetFont(int id);
  std::shared_ptr<Image> GetImage(const std::wstring& file);
  const FileReader& Reader() const { return reader_; }

  Control* FindControl(std::wstring_view name) const;
  template <class T>
  T* Find(std::wstring_view name) const { return dynamic_cast<T*>(FindControl(name)); }
  Control* FindControlAt(Point point);
  // A control whose drop-down part (Control::PopupRect) is open: painted
  // last, hit first, closed by a press anywhere else.
  void SetPopup(Control* control);
  Control* Popup() const { return popup_; }

  // ---- life ---------------------------------------------------------------------
  // Device pixels per layout unit. Set before Create to fix it; otherwise
  // Create takes the factory's DisplayScale (a dialog takes its owner's).
  void SetScale(double scale);
  double Scale() const { return scale_ > 0 ? scale_ : 1.0; }
  // The window moved to a display of another scale (WM_DPICHANGED): the
  // canvas, the native window, its corners and shadow follow, all repainted.
  void ChangeScale(double scale);
  // A point the host reports (device pixels) in layout units.
  Point ToLayout(Point device) const;
  // Makes the host and shows the window. `owner` is disabled during ShowModal.
  virtual bool Create(IHostFactory& factory, Window* owner);
  IHost* Host() const { return host_.get(); }
  IHostFactory* Factory() const { return factory_; }
  Window* Owner() const { return owner_; }
  // Closes the window; a modal run returns `code`.
  void Close(int code = 1);
  bool IsClosed() const { return closed_; }
  int CloseCode() const { return closeCode_; }
  // Runs until the window closes; the owner takes no input meanwhile.
  int ShowModal();
  void SetEnabled(bool enabled);
  bool IsEnabled() const { return enabled_; }
  // Centres over the owner, or on the screen without one.
  void CenterWindow();
  // The person asked for less animation (motion_preference.h): animated
  // controls show one still frame. Read from the system when the window is
  // made.
  bool ReducedMotion() const { return reducedMotion_; }
  // The native window's name (taskbar, window lists).
  void SetTitle(std::wstring title);
  const std::wstring& Title() const { return title_; }
  // The native window's icon; kept until the host exists.
  void SetIcon(std::shared_ptr<Image> icon);

  // ---- texts by number ------------------------------------------------------------
  // Where numbered texts come from; a skinned window translates its layout
  // with it once built. Dialogs take their owner's source.
  void SetTextSource(TextSource source) { textSource_ = std::move(source); }
  const TextSource& GetTextSource() const { return textSource_; }
  // The text with this number, or `fallback` when the source lacks it.
  std::wstring Text(int id, std::wstring_view fallback) const;
  // Gives every control with a "textid" its text again: the source's, else
  // the layout's own.
  void Translate();

  // ---- notifications and messages --------------------------------------------------
  void AddNotifier(INotifyListener* listener);
  void RemoveNotifier(INotifyListener* listener);
  void AddMessageFilter(IMessageFilter* filter);
  void RemoveMessageFilter(IMessageFilter* filter);
  // Synchronous: every listener has seen it on return. Asynchronous: queued
  // and delivered by the window's loop (any thread may send one); dropped if
  // the sender is destroyed first.
  void SendNotify(Control* sender, std::wstring_view type, std::uintptr_t wParam = 0,
                  std::intptr_t lParam = 0, bool async = false);
  // Any thread: `task` runs on the window's thread, in posting order.
  void PostTask(std::function<void()> task);
  // Any thread: the message goes through the filters and HandleMessage on
  // the window's thread.
  void PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  // The window's own handling of a message no filter took.
  virtual std::intptr_t HandleMessage(std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam, bool& handled);

  // ---- timers, focus, painting ---------------------------------------------------------
  bool SetTimer(Control* control, std::uintptr_t id, std::uint32_t intervalMs);
  void KillTimer(Control* control, std::uintptr_t id);
  bool HasTimer(const Control* control, std::uintptr_t id) const;
  void SetFocus(Control* control);
  Control* Focused() const { return focus_; }
  // Whether the focus ring shows: from the first key press until the next
  // mouse press.
  bool FocusCueShown() const { return focusCue_; }
  void ShowFocusCue(bool shown);
  // Where the focus ring of `control` is drawn.
  Rect FocusRingRect(const Control& control) const;
  // The controls Tab visits, in its order: reading order, the title bar's
  // buttons (those inside the "caption" strip) last.
  std::vector<Control*> TabOrder();
  // Gives the focus to the main action shown inside `part` (the whole
  // window when null): the first control marked "initialfocus", else the
  // first "default" button. False when `part` shows neither.
  bool FocusMainAction(Control* part = nullptr);
  // The shown, enabled "default" button that Return activates when the
  // focused control does not take Return itself.
  Control* DefaultButton();
  // A part of the tree (a page of a tab layout) was just shown: unless the
  // focus is already inside it, its main action takes the focus.
  void PartShown(Control* part);
  void Invalidate(const Rect& rect);
  // The parts of the window waiting for a repaint.
  const std::vector<Rect>& DirtyRegion() const { return dirty_; }
  void NeedLayout();
  // Lays the tree out now if something changed.
  void EnsureLayout();
  Canvas* GetCanvas() const { return canvas_.get(); }
  // The number of paint passes so far (for tests of the dirty region).
  int PaintCount() const { return paintCount_; }

  // ---- fed by the host (host.h) ------------------------------------------------------------
  void OnMouseMove(Point point);
  void OnMouseDown(MouseButton button, Point point, KeyModifiers modifiers = {});
  void OnMouseUp(MouseButton button, Point point, KeyModifiers modifiers = {});
  void OnMouseLeave();
  void OnKeyDown(int key, KeyModifiers modifiers);
  void OnKeyUp(int key, KeyModifiers modifiers);
  void OnChar(char32_t character);
  // The input method's composition (text not yet committed); empty ends it.
  void OnComposition(const std::wstring& text);
  void OnFocus(bool gained);
  void OnCloseRequest();
  // A native message for the filters; true when one handled it.
  bool FilterMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                     std::intptr_t& result);
  bool IsCaptionAt(Point point);
  // Posted work, asynchronous notifications, due timers, layout and repaint.
  void RunPending();
  std::optional<std::uint64_t> NextTimerDue() const;
  // Work that RunPending would do now: posted work, a dirty region, a due timer.
  bool HasPendingWork();
  bool HasPostedWork();
  // Repaints the dirty region into the canvas and presents it.
  void Paint();

  // ---- assistive technologies (accessible_tree.h) -------------------------------------------
  // Observers hear of focus, text, value, state and structure changes, and
  // of the window showing (once its first round of posted work has run, so a
  // dialog's message is in place) and closing.
  void AddAccessibleObserver(IAccessibleObserver* observer);
  void RemoveAccessibleObserver(IAccessibleObserver* observer);
  void AccessibleChanged(Control* control, AccessibleChange change);
  // Whether `control` still belongs to this window (work posted for a
  // control checks it before touching it).
  bool Contains(const Control* control) const { return live_.count(const_cast<Control*>(control)) != 0; }

  // ---- for controls -------------------------------------------------------------------------
  void ControlAttached(Control* control);
  void ControlDestroyed(Control* control);
  void ControlNameChanged(Control* control, const std::wstring& oldName);
  void ControlHidden(Control* control);
  Point MousePosition() const { return mouse_; }
  std::uint64_t Now() const;

 protected:
  // Called once by Create, after the host exists and before the window shows.
  virtual void OnInitialize() {}
  // Called by Close before the host closes.
  virtual void OnClosing() {}
  // Escape that neither a filter nor the focused control took; true when
  // the window acted on it.
  virtual bool OnEscapeKey() { return false; }

 private:
  struct Timer {
    Control* control;
    std::uintptr_t id;
    std::uint32_t interval;
    std::uint64_t due;
  };
  struct Posted {
    std::function<void()> task;
  };

  void DeliverNotify(const Notification& notification);
  void RunPosted();
  void RunDueTimers();
  void SetHot(Control* control);
  bool DispatchMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                       std::intptr_t& result);
  void MoveFocus(bool backwards);
  void CollectFocusable(Control* control, std::vector<Control*>& out);
  bool InCaptionStrip(const Control& control) const;
  void PaintFocusRing(const Rect& clip);
  void ApplyFrameToHost();
  void InvalidateFocusRing();

  FileReader reader_;
  TextSource textSource_;
  ImageCache images_;
  std::map<int, FontDescription> fontDescriptions_;
  std::map<int, std::shared_ptr<Font>> fonts_;
  int defaultFontId_ = -1;
  WindowAttributes attributes_;
  std::unique_ptr<Control> root_;
  std::multimap<std::wstring, Control*> names_;
  std::set<Control*> live_;

  // Before the host: a host's bridge leaves this list when the host is
  // destroyed with the window.
  std::vector<IAccessibleObserver*> accessibleObservers_;
  IHostFactory* factory_ = nullptr;
  std::unique_ptr<IHost> host_;
  Window* owner_ = nullptr;
  std::unique_ptr<Canvas> canvas_;
  bool closed_ = false;
  int closeCode_ = 0;
  std::wstring title_;
  std::shared_ptr<Image> icon_;
  bool enabled_ = true;
  bool reducedMotion_ = false;
  double scale_ = 0;  // 0: not chosen yet

  std::vector<INotifyListener*> listeners_;
  std::vector<IMessageFilter*> filters_;
  bool shownAnnounced_ = false;
  std::vector<Timer> timers_;
  std::mutex postedMutex_;
  std::deque<Posted> posted_;

  Control* focus_ = nullptr;
  bool focusCue_ = false;
  Control* hot_ = nullptr;
  Control* captured_ = nullptr;
  Control* popup_ = nullptr;
  Point mouse_;
  std::vector<Rect> dirty_;
  bool layoutNeeded_ = true;
  int paintCount_ = 0;
};

}  // namespace Ui
