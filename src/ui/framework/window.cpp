#include "ui/framework/window.h"

#include <algorithm>
#include <cmath>

#include "support/debug_log.h"
#include "ui/framework/canvas.h"
#include "ui/framework/container.h"
#include "ui/framework/motion_preference.h"

namespace Ui {
namespace {

// The dirty region is a short list of rectangles; beyond this many they are
// merged into their union, which repaints a little more but stays cheap.
constexpr std::size_t kMaxDirtyRects = 8;

// Clears a rectangle of the canvas to transparent (Canvas::Clear ignores the clip).
void ClearRect(Canvas& canvas, const Rect& rect) {
  const Rect r = rect.Intersect({0, 0, canvas.Width(), canvas.Height()});
  if (r.IsEmpty()) return;
  for (int y = r.top; y < r.bottom; ++y) {
    std::uint8_t* row = canvas.Pixels() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.Width()) +
                                           static_cast<std::size_t>(r.left)) * 4;
    std::fill(row, row + static_cast<std::size_t>(r.Width()) * 4, std::uint8_t{0});
  }
}

}  // namespace

Window::Window(FileReader reader)
    : reader_(std::move(reader)),
      images_([this](const std::wstring& file) -> std::optional<std::vector<std::uint8_t>> {
        if (!reader_) return std::nullopt;
        std::optional<std::string_view> bytes = reader_(file);
        if (!bytes) return std::nullopt;
        return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
      }),
      reducedMotion_(SystemPrefersReducedMotion()) {}

Window::~Window() {
  // Controls tell the window when they go; the window is going first.
  focus_ = hot_ = captured_ = popup_ = nullptr;
  timers_.clear();
  if (root_ != nullptr) {
    std::vector<Control*> stack{root_.get()};
    while (!stack.empty()) {
      Control* c = stack.back();
      stack.pop_back();
      c->AttachTo(nullptr, c->Parent());
      if (Container* container = c->AsContainer()) {
        for (std::size_t i = 0; i < container->Count(); ++i) stack.push_back(container->ItemAt(i));
      }
    }
  }
  live_.clear();
  names_.clear();
  root_.reset();
  if (host_ != nullptr && !closed_) host_->Close();
}

// ---- contents ---------------------------------------------------------------------------

std::wstring Window::Text(int id, std::wstring_view fallback) const {
  if (textSource_) {
    if (std::optional<std::wstring> text = textSource_(id)) return std::move(*text);
  }
  return std::wstring(fallback);
}

void Window::Translate() {
  if (root_ == nullptr) return;
  std::vector<Control*> stack{root_.get()};
  while (!stack.empty()) {
    Control* c = stack.back();
    stack.pop_back();
    if (c->TextId() >= 0) c->SetText(Text(c->TextId(), c->LayoutText()));
    if (c->AccessibleNameId() >= 0) {
      c->SetAccessibleName(Text(c->AccessibleNameId(), c->LayoutAccessibleName()));
    }
    if (Container* container = c->AsContainer()) {
      for (std::size_t i = 0; i < container->Count(); ++i) stack.push_back(container->ItemAt(i));
    }
  }
}

void Window::SetRoot(std::unique_ptr<Control> root) {
  root_ = std::move(root);
  if (root_ == nullptr) return;
  // Attach the whole tree, parents first, so names and timers find the window.
  std::vector<std::pair<Control*, Control*>> stack{{root_.get(), nullptr}};
  while (!stack.empty()) {
    auto [c, parent] = stack.back();
    stack.pop_back();
    c->AttachTo(this, parent);
    if (Container* container = c->AsContainer()) {
      for (std::size_t i = 0; i < container->Count(); ++i) stack.push_back({container->ItemAt(i), c});
    }
  }
  root_->DoInit();
  NeedLayout();
}

void Window::SetAttributes(const WindowAttributes& attributes) {
  attributes_ = attributes;
  NeedLayout();
}

void Window::AddFont(int id, const FontDescription& description, bool isDefault) {
  fontDescriptions_[id] = description;
  fonts_.erase(id);
  if (isDefault || defaultFontId_ < 0) defaultFontId_ = id;
}

std::shared_ptr<Font> Window::GetFont(int id) {
  auto cached = fonts_.find(id);
  if (cached != fonts_.end()) return cached->second;
  auto description = fontDescriptions_.find(id);
  if (description == fontDescriptions_.end()) {
    if (id != defaultFontId_ && defaultFontId_ >= 0) return GetFont(defaultFontId_);
    description = fontDescriptions_.emplace(id, FontDescription{L"微软雅黑", 14}).first;
  }
  std::shared_ptr<Font> font = Font::Create(description->second);
  fonts_[id] = font;
  return font;
}

std::shared_ptr<Image> Window::GetImage(const std::wstring& file) { return images_.Get(file); }

Control* Window::FindControl(std::wstring_view name) const {
  if (name.empty()) return nullptr;
  auto it = names_.find(std::wstring(name));
  return it != names_.end() ? it->second : nullptr;
}

Control* Window::FindControlAt(Point point) {
  EnsureLayout();
  if (popup_ != nullptr && popup_->PopupRect().Contains(point.x, point.y)) return popup_;
  return root_ != nullptr ? root_->FindControlAt(point) : nullptr;
}

void Window::SetPopup(Control* control) { popup_ = control; }

void Window::ControlAttached(Control* control) {
  live_.insert(control);
  if (!control->Name().empty()) names_.emplace(control->Name(), control);
}

void Window::ControlNameChanged(Control* control, const std::wstring& oldName) {
  auto range = names_.equal_range(oldName);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == control) {
      names_.erase(it);
      break;
    }
  }
  if (!control->Name().empty()) names_.emplace(control->Name(), control);
}

void Window::ControlHidden(Control* control) {
  // A control that is hidden or disabled (or inside one) gives up the
  // focus, the capture, the hot state and an open drop-down.
  auto within = [control](Control* c) {
    for (; c != nullptr; c = c->Parent()) {
      if (c == control) return true;
    }
    return false;
  };
  if (within(focus_)) SetFocus(nullptr);
  if (within(captured_)) {
    captured_ = nullptr;
    if (host_ != nullptr) host_->SetCapture(false);
  }
  if (within(hot_)) SetHot(nullptr);
  if (within(popup_)) popup_->ClosePopup();
}

void Window::ControlDestroyed(Control* control) {
  if (live_.erase(control) != 0) AccessibleChanged(control, AccessibleChange::kDestroyed);
  auto range = names_.equal_range(control->Name());
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == control) {
      names_.erase(it);
      break;
    }
  }
  std::erase_if(timers_, [control](const Timer& t) { return t.control == control; });
  if (focus_ == control) focus_ = nullptr;
  if (hot_ == control) hot_ = nullptr;
  if (captured_ == control) captured_ = nullptr;
  if (popup_ == control) popup_ = nullptr;
}

// ---- life --------------------------------------------------------------------------------

void Window::SetScale(double scale) {
  if (host_ == nullptr && scale > 0) scale_ = std::clamp(scale, 1.0, 4.0);
}

Point Window::ToLayout(Point device) const {
  const double scale = Scale();
  if (scale == 1.0) return device;
  return {static_cast<int>(std::floor(device.x / scale)), static_cast<int>(std::floor(device.y / scale))};
}

bool Window::Create(IHostFactory& factory, Window* owner) {
  if (host_ != nullptr) return false;
  factory_ = &factory;
  owner_ = owner;
  if (scale_ <= 0) SetScale(owner != nullptr ? owner->Scale() : factory.DisplayScale());
  if (scale_ <= 0) scale_ = 1.0;
  Size size = attributes_.size;
  if (size.cx <= 0 || size.cy <= 0) size = {400, 300};
  // A canvas beyond a large screen is a damaged layout, not a window.
  size.cx = std::min(size.cx, 4096);
  size.cy = std::min(size.cy, 4096);
  attributes_.size = size;
  canvas_ = std::make_unique<Canvas>(size.cx, size.cy, scale_);
  host_ = factory.CreateHost(*this, owner, {canvas_->Width(), canvas_->Height()});
  if (host_ == nullptr) {
    DEBUG_LOG(L"no host for the window");
    return false;
  }
  if (!title_.empty()) host_->SetTitle(title_);
  if (icon_ != nullptr) host_->SetIcon(*icon_);
  ApplyFrameToHost();
  EnsureLayout();
  Invalidate({0, 0, size.cx, size.cy});
  OnInitialize();
  if (focus_ == nullptr) FocusMainAction();
  if (!closed_) host_->Show(true);
  return true;
}

void Window::ApplyFrameToHost() {
  // The frame's corners and shadow in device pixels too.
  const Size corner = attributes_.roundCorner;
  host_->SetRoundCorner({canvas_->ToDevice(corner.cx), canvas_->ToDevice(corner.cy)});
  ShadowSettings shadow = attributes_.shadow;
  shadow.size = canvas_->ToDevice(shadow.size);
  shadow.sharpness = canvas_->ToDevice(shadow.sharpness);
  shadow.offsetX = canvas_->ToDevice(shadow.offsetX);
  shadow.offsetY = canvas_->ToDevice(shadow.offsetY);
  host_->SetShadow(shadow);
}

void Window::ChangeScale(double scale) {
  if (host_ == nullptr || closed_ || scale <= 0) return;
  scale = std::clamp(scale, 1.0, 4.0);
  if (scale == scale_) return;
  scale_ = scale;
  const Size size = attributes_.size;
  canvas_ = std::make_unique<Canvas>(size.cx, size.cy, scale_);
  host_->Resize({canvas_->Width(), canvas_->Height()});
  ApplyFrameToHost();
  dirty_.clear();
  Invalidate({0, 0, size.cx, size.cy});
}

void Window::Close(int code) {
  if (closed_) return;
  OnClosing();
  closed_ = true;
  closeCode_ = code;
  timers_.clear();
  if (host_ != nullptr) host_->Close();
  AccessibleChanged(nullptr, AccessibleChange::kClosed);
}

int Window::ShowModal() {
  if (host_ == nullptr) return -1;
  Window* owner = owner_;
  const bool ownerWasEnabled = owner != nullptr && owner->IsEnabled();
  if (owner != nullptr) owner->SetEnabled(false);
  if (!closed_) host_->RunModalLoop([this] { return closed_; });
  if (owner != nullptr && ownerWasEnabled) owner->SetEnabled(true);
  return closeCode_;
}

void Window::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) {
    if (captured_ != nullptr) {
      ControlEvent up{EventType::kButtonUp, {-1, -1}};
      Control* c = captured_;
      captured_ = nullptr;
      c->DoEvent(up);
    }
    SetHot(nullptr);
  }
  if (host_ != nullptr) host_->SetEnabled(enabled);
}

void Window::CenterWindow() {
  if (host_ != nullptr) host_->Center();
}

void Window::SetTitle(std::wstring title) {
  title_ = std::move(title);
  if (host_ != nullptr) host_->SetTitle(title_);
}

void Window::SetIcon(std::shared_ptr<Image> icon) {
  icon_ = std::move(icon);
  if (host_ != nullptr && icon_ != nullptr) host_->SetIcon(*icon_);
}

// ---- notifications and messages -------------------------------------------------------------

void Window::AddNotifier(INotifyListener* listener) {
  if (listener != nullptr && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
    listeners_.push_back(listener);
  }
}

void Window::RemoveNotifier(INotifyListener* listener) { std::erase(listeners_, listener); }

void Window::AddMessageFilter(IMessageFilter* filter) {
  if (filter != nullptr && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) {
    filters_.push_back(filter);
  }
}

void Window::RemoveMessageFilter(IMessageFilter* filter) { std::erase(filters_, filter); }

std::uint64_t Window::Now() const { return host_ != nullptr ? host_->NowMs() : 0; }

void Window::SendNotify(Control* sender, std::wstring_view type, std::uintptr_t wParam, std::intptr_t lParam,
                        bool async) {
  Notification n{std::wstring(type), sender, wParam, lParam, mouse_, 0};
  if (!async) {
    n.timestamp = Now();
    DeliverNotify(n);
    return;
  }
  PostTask([this, n]() mutable {
    // The sender may have gone since; then nobody hears of it.
    if (n.sender != nullptr && live_.count(n.sender) == 0) return;
    n.timestamp = Now();
    DeliverNotify(n);
  });
}

void Window::DeliverNotify(const Notification& notification) {
  // A listener may remove itself (or others) while being told.
  const std::vector<INotifyListener*> listeners = listeners_;
  for (INotifyListener* listener : listeners) {
    if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) continue;
    listener->Notify(notification);
  }
}

void Window::PostTask(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back({std::move(task)});
  }
  // The host outlives every post: it is made before the window is shown and
  // destroyed with the window, whose owner joins its workers first.
  if (host_ != nullptr) host_->Wake();
}

void Window::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  PostTask([this, message, wParam, lParam] {
    std::intptr_t result = 0;
    DispatchMessage(message, wParam, lParam, result);
  });
}

bool Window::DispatchMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                             std::intptr_t& result) {
  if (FilterMessage(message, wParam, lParam, result)) return true;
  bool handled = false;
  result = HandleMessage(message, wParam, lParam, handled);
  return handled;
}

bool Window::FilterMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                           std::intptr_t& result) {
  const std::vector<IMessageFilter*> filters = filters_;
  for (IMessageFilter* filter : filters) {
    if (std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) continue;
    bool handled = false;
    result = filter->MessageHandler(message, wParam, lParam, handled);
    if (handled) return true;
  }
  return false;
}

std::intptr_t Window::HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                    bool& handled) {
  (void)wParam;
  (void)lParam;
  if (message == Message::kClose) {
    Close(1);
    handled = true;
  }
  return 0;
}

// ---- timers, focus, painting ----------------------------------------------------------------------

bool Window::SetTimer(Control* control, std::uintptr_t id, std::uint32_t intervalMs) {
  if (control == nullptr || closed_) return false;
  const std::uint32_t interval = std::max<std::uint32_t>(intervalMs, 1);
  const std::uint64_t now = Now();
  // A delay beyond the clock's range simply never comes.
  const std::uint64_t due = now + interval;
  for (Timer& t : timers_) {
    if (t.control == control && t.id == id) {
      t.interval = interval;
      t.due = due;
      if (host_ != nullptr) host_->TimersChanged();
      return true;
    }
  }
  timers_.push_back({control, id, interval, due});
  if (host_ != nullptr) host_->TimersChanged();
  return true;
}

void Window::KillTimer(Control* control, std::uintptr_t id) {
  std::erase_if(timers_, [&](const Timer& t) { return t.control == control && t.id == id; });
}

bool Window::HasTimer(const Control* control, std::uintptr_t id) const {
  return std::any_of(timers_.begin(), timers_.end(),
                     [&](const Timer& t) { return t.control == control && t.id == id; });
}

std::optional<std::uint64_t> Window::NextTimerDue() const {
  std::optional<std::uint64_t> next;
  for (const Timer& t : timers_) {
    if (!next || t.due < *next) next = t.due;
  }
  return next;
}

void Window::RunDueTimers() {
  const std::uint64_t now = Now();
  // Each due timer fires once per pass; one that fell behind does not
  // fire in a burst, it simply continues one interval from now.
  std::vector<std::pair<Control*, std::uintptr_t>> due;
  for (Timer& t : timers_) {
    if (t.due <= now) {
      due.emplace_back(t.control, t.id);
      t.due = std::max(t.due + t.interval, now + 1);
    }
  }
  for (auto [control, id] : due) {
    // A handler may have killed this timer or destroyed the control.
    if (!HasTimer(control, id) || live_.count(control) == 0) continue;
    ControlEvent event{EventType::kTimer};
    event.timerId = id;
    control->DoEvent(event);
    if (closed_) return;
  }
}

void Window::SetFocus(Control* control) {
  if (control != nullptr && (!control->WantsFocus() || !control->IsShown() || !control->IsEffectivelyEnabled())) {
    return;
  }
  if (control == focus_) return;
  InvalidateFocusRing();
  Control* old = focus_;
  focus_ = control;
  if (old != nullptr) old->DoEvent(ControlEvent(EventType::kKillFocus));
  if (focus_ != nullptr) focus_->DoEvent(ControlEvent(EventType::kSetFocus));
  InvalidateFocusRing();
  AccessibleChanged(focus_, AccessibleChange::kFocus);
}

void Window::ShowFocusCue(bool shown) {
  if (shown == focusCue_) return;
  focusCue_ = shown;
  if (focus_ != nullptr && !focus_->Position().IsEmpty()) Invalidate(FocusRingRect(*focus_));
}

Rect Window::FocusRingRect(const Control& control) const {
  const FocusIndicatorStyle& style = attributes_.focusIndicator;
  const int out = style.gap + style.width;
  const Rect& p = control.Position();
  return {p.left - out, p.top - out, p.right + out, p.bottom + out};
}

void Window::InvalidateFocusRing() {
  if (focusCue_ && focus_ != nullptr && !focus_->Position().IsEmpty()) Invalidate(FocusRingRect(*focus_));
}

void Window::CollectFocusable(Control* control, std::vector<Control*>& out) {
  if (control == nullptr || !control->IsVisible() || !control->IsEnabled()) return;
  if (control->WantsFocus()) out.push_back(control);
  if (Container* container = control->AsContainer()) {
    for (std::size_t i = 0; i < container->Count(); ++i) CollectFocusable(container->ItemAt(i), out);
  }
}

bool Window::InCaptionStrip(const Control& control) const {
  const Rect& c = attributes_.caption;
  if (c.bottom <= c.top) return false;
  const Rect& p = control.Position();
  const int middle = (p.top + p.bottom) / 2;
  return middle >= c.top && middle < c.bottom;
}

std::vector<Control*> Window::TabOrder() {
  EnsureLayout();
  std::vector<Control*> order;
  CollectFocusable(root_.get(), order);
  // The layouts flow left to right and top to bottom, so the tree's order
  // is the reading order; the title bar's buttons (minimise, close) come
  // after the page, where a person reading the window meets them last.
  std::stable_partition(order.begin(), order.end(), [this](Control* c) { return !InCaptionStrip(*c); });
  return order;
}

void Window::MoveFocus(bool backwards) {
  const std::vector<Control*> order = TabOrder();
  if (order.empty()) return;
  auto it = std::find(order.begin(), order.end(), focus_);
  std::size_t index = 0;
  if (it == order.end()) {
    index = backwards ? order.size() - 1 : 0;
  } else {
    const auto at = static_cast<std::size_t>(it - order.begin());
    index = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
  }
  SetFocus(order[index]);
}

namespace {

bool Within(const Control* control, const Control* part) {
  for (; control != nullptr; control = control->Parent()) {
    if (control == part) return true;
  }
  return false;
}

}  // namespace

bool Window::FocusMainAction(Control* part) {
  if (part == nullptr) part = root_.get();
  std::vector<Control*> candidates;
  CollectFocusable(part, candidates);
  std::erase_if(candidates, [](Control* c) { return !c->IsShown() || !c->IsEffectivelyEnabled(); });
  auto pick = [&](auto marked) -> Control* {
    auto it = std::find_if(candidates.begin(), candidates.end(), marked);
    return it != candidates.end() ? *it : nullptr;
  };
  Control* main = pick([](Control* c) { return c->IsInitialFocus(); });
  if (main == nullptr) main = pick([](Control* c) { return c->IsDefault(); });
  if (main == nullptr) return false;
  SetFocus(main);
  return focus_ == main;
}

Control* Window::DefaultButton() {
  std::vector<Control*> candidates;
  CollectFocusable(root_.get(), candidates);
  for (Control* c : candidates) {
    if (c->IsDefault() && c->IsShown() && c->IsEffectivelyEnabled()) return c;
  }
  return nullptr;
}

void Window::PartShown(Control* part) {
  if (part == nullptr || Within(focus_, part)) return;
  FocusMainAction(part);
}

void Window::Invalidate(const Rect& rect) {
  const Rect r = rect.Intersect({0, 0, attributes_.size.cx, attributes_.size.cy});
  if (r.IsEmpty()) return;
  for (Rect& d : dirty_) {
    if (!d.Intersect(r).IsEmpty() || d.Union(r) == d) {
      d = d.Union(r);
      // Merging may have made it overlap another; the list stays short, so
      // a second pass at paint time is not worth it.
      if (host_ != nullptr) host_->RequestPaint();
      return;
    }
  }
  if (dirty_.size() >= kMaxDirtyRects) {
    Rect all = r;
    for (const Rect& d : dirty_) all = all.Union(d);
    dirty_.assign(1, all);
  } else {
    dirty_.push_back(r);
  }
  if (host_ != nullptr) host_->RequestPaint();
}

void Window::NeedLayout() {
  layoutNeeded_ = true;
  if (host_ != nullptr) host_->RequestPaint();
}

void Window::EnsureLayout() {
  if (!layoutNeeded_) return;
  layoutNeeded_ = false;
  if (root_ == nullptr) return;
  const Size size = attributes_.size;
  const Rect& m = root_->Padding();
  root_->SetPosition({m.left, m.top, size.cx - m.right, size.cy - m.bottom});
  // Laying out may change sizes (labels that fit their text): once more.
  if (layoutNeeded_) {
    layoutNeeded_ = false;
    root_->SetPosition({m.left, m.top, size.cx - m.right, size.cy - m.bottom});
    layoutNeeded_ = false;
  }
}

void Window::Paint() {
  EnsureLayout();
  if (dirty_.empty() || canvas_ == nullptr) return;
  std::vector<Rect> dirty;
  dirty.swap(dirty_);
  ++paintCount_;
  for (const Rect& r : dirty) {
    canvas_->SetClip(r);
    const Rect device = canvas_->ToDevice(r).Intersect({0, 0, canvas_->Width(), canvas_->Height()});
    ClearRect(*canvas_, device);
    if (root_ != nullptr && root_->IsVisible()) root_->Paint(*canvas_, r);
    PaintFocusRing(r);
    if (popup_ != nullptr && !popup_->PopupRect().Intersect(r).IsEmpty()) popup_->PaintPopup(*canvas_);
    canvas_->ResetClip();
    if (host_ != nullptr && !device.IsEmpty()) host_->Present(*canvas_, device);
  }
}

void Window::PaintFocusRing(const Rect& clip) {
  const FocusIndicatorStyle& style = attributes_.focusIndicator;
  if (!focusCue_ || focus_ == nullptr || style.width <= 0 || !focus_->IsShown()) return;
  const Rect ring = FocusRingRect(*focus_);
  if (ring.Intersect(clip).IsEmpty()) return;
  canvas_->DrawBorder(ring, style.width, style.round, style.round, style.color);
}

void Window::RunPosted() {
  // Work posted while running waits for the next pass, so a task that posts
  // itself again cannot starve the loop.
  std::deque<Posted> batch;
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    batch.swap(posted_);
  }
  for (Posted& p : batch) {
    p.task();
  }
}

bool Window::HasPostedWork() {
  std::lock_guard<std::mutex> lock(postedMutex_);
  return !posted_.empty();
}

bool Window::HasPendingWork() {
  if (HasPostedWork()) return true;
  if (closed_) return false;
  if (host_ != nullptr && !shownAnnounced_) return true;
  if (!dirty_.empty() || layoutNeeded_) return true;
  const std::optional<std::uint64_t> next = NextTimerDue();
  return next && *next <= Now();
}

void Window::RunPending() {
  RunPosted();
  if (!closed_) RunDueTimers();
  if (!closed_) Paint();
  // Announced after the opener's first work (a dialog's text is set right
  // after it is made), never from inside Create.
  if (!closed_ && host_ != nullptr && !shownAnnounced_) {
    shownAnnounced_ = true;
    AccessibleChanged(nullptr, AccessibleChange::kShown);
  }
}

void Window::AddAccessibleObserver(IAccessibleObserver* observer) {
  if (observer != nullptr && std::find(accessibleObservers_.begin(), accessibleObservers_.end(), observer) ==
                                 accessibleObservers_.end()) {
    accessibleObservers_.push_back(observer);
  }
}

void Window::RemoveAccessibleObserver(IAccessibleObserver* observer) { std::erase(accessibleObservers_, observer); }

void Window::AccessibleChanged(Control* control, AccessibleChange change) {
  // An observer may remove itself while it hears the change.
  const std::vector<IAccessibleObserver*> observers = accessibleObservers_;
  for (IAccessibleObserver* observer : observers) {
    if (std::find(accessibleObservers_.begin(), accessibleObservers_.end(), observer) != accessibleObservers_.end()) {
      observer->AccessibleChanged(control, change);
    }
  }
}

// ---- input ---------------------------------------------------------------------------------------

void Window::SetHot(Control* control) {
  if (control == hot_) return;
  Control* old = hot_;
  hot_ = control;
  if (old != nullptr) old->DoEvent(ControlEvent(EventType::kMouseLeave, mouse_));
  if (hot_ != nullptr) hot_->DoEvent(ControlEvent(EventType::kMouseEnter, mouse_));
  if (host_ != nullptr && (hot_ == nullptr || !hot_->IsActive())) host_->SetCursor(CursorKind::kArrow);
}

void Window::OnMouseMove(Point devicePoint) {
  const Point point = ToLayout(devicePoint);
  mouse_ = point;
  if (!enabled_ || closed_) return;
  if (captured_ != nullptr) {
    captured_->DoEvent(ControlEvent(EventType::kMouseMove, point));
    return;
  }
  Control* hit = FindControlAt(point);
  if (hit != nullptr && !hit->IsEffectivelyEnabled()) hit = nullptr;
  SetHot(hit);
  if (hit != nullptr) hit->DoEvent(ControlEvent(EventType::kMouseMove, point));
}

void Window::OnMouseDown(MouseButton button, Point devicePoint, KeyModifiers modifiers) {
  const Point point = ToLayout(devicePoint);
  mouse_ = point;
  if (!enabled_ || closed_) return;
  ShowFocusCue(false);
  if (button != MouseButton::kLeft) return;
  Control* hit = FindControlAt(point);
  if (popup_ != nullptr && hit != popup_) popup_->ClosePopup();
  if (hit == nullptr || !hit->IsEffectivelyEnabled()) return;
  SetHot(hit);
  if (hit->WantsFocus()) SetFocus(hit);
  captured_ = hit;
  if (host_ != nullptr) host_->SetCapture(true);
  ControlEvent event{EventType::kButtonDown, point};
  event.modifiers = modifiers;
  hit->DoEvent(event);
}

void Window::OnMouseUp(MouseButton button, Point devicePoint, KeyModifiers modifiers) {
  const Point point = ToLayout(devicePoint);
  mouse_ = point;
  if (button != MouseButton::kLeft) return;
  Control* target = captured_;
  captured_ = nullptr;
  if (host_ != nullptr) host_->SetCapture(false);
  if (target == nullptr || closed_) return;
  ControlEvent event{EventType::kButtonUp, point};
  event.modifiers = modifiers;
  target->DoEvent(event);
  // The control under the mouse may have changed while it was held.
  if (!closed_ && enabled_) OnMouseMove(devicePoint);
}

void Window::OnMouseLeave() {
  if (captured_ == nullptr) SetHot(nullptr);
}

void Window::OnKeyDown(int key, KeyModifiers modifiers) {
  if (!enabled_ || closed_) return;
  std::intptr_t result = 0;
  if (FilterMessage(Message::kKeyDown, static_cast<std::uintptr_t>(key), 0, result)) return;
  // Someone works with the keyboard: the focus shows from now on.
  ShowFocusCue(true);
  if (key == Key::kTab && !modifiers.control && !modifiers.alt) {
    if (popup_ != nullptr) popup_->ClosePopup();
    MoveFocus(modifiers.shift);
    return;
  }
  if (key == Key::kF4 && modifiers.alt) {
    OnCloseRequest();
    return;
  }
  Control* focused = focus_;
  const bool taken = focused != nullptr && focused->TakesKey(key);
  if (focused != nullptr) {
    ControlEvent event{EventType::kKeyDown, mouse_};
    event.key = key;
    event.modifiers = modifiers;
    focused->DoEvent(event);
  }
  if (taken || closed_ || modifiers.control || modifiers.alt) return;
  if (key == Key::kReturn) {
    // The focused control may have changed the page meanwhile.
    if (Control* button = DefaultButton()) button->Activate();
  } else if (key == Key::kEscape) {
    OnEscapeKey();
  }
}

void Window::OnKeyUp(int key, KeyModifiers modifiers) {
  (void)modifiers;
  if (!enabled_ || closed_) return;
  std::intptr_t result = 0;
  FilterMessage(Message::kKeyUp, static_cast<std::uintptr_t>(key), 0, result);
}

void Window::OnChar(char32_t character) {
  if (!enabled_ || closed_) return;
  std::intptr_t result = 0;
  if (FilterMessage(Message::kChar, character, 0, result)) return;
  if (focus_ != nullptr) {
    ControlEvent event{EventType::kChar, mouse_};
    event.character = character;
    focus_->DoEvent(event);
  }
}

void Window::OnComposition(const std::wstring& text) {
  if (!enabled_ || closed_ || focus_ == nullptr) return;
  ControlEvent event{EventType::kComposition, mouse_};
  event.text = text;
  focus_->DoEvent(event);
}

void Window::OnFocus(bool gained) {
  if (!gained) {
    if (captured_ != nullptr) {
      Control* c = captured_;
      captured_ = nullptr;
      c->DoEvent(ControlEvent(EventType::kButtonUp, {-1, -1}));
    }
    if (popup_ != nullptr) popup_->ClosePopup();
  }
}

void Window::OnCloseRequest() {
  if (closed_) return;
  std::intptr_t result = 0;
  DispatchMessage(Message::kClose, 0, 0, result);
}

bool Window::IsCaptionAt(Point devicePoint) {
  const Point point = ToLayout(devicePoint);
  const Rect& c = attributes_.caption;
  const Size size = attributes_.size;
  if (!(point.x >= c.left && point.x < size.cx - c.right && point.y >= c.top && point.y < c.bottom)) {
    return false;
  }
  Control* hit = FindControlAt(point);
  return hit == nullptr || !hit->IsActive();
}

}  // namespace Ui
