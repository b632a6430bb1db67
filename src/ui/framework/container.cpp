#include "ui/framework/container.h"

#include <algorithm>

#include "ui/framework/attribute_values.h"
#include "ui/framework/window.h"

namespace Ui {

Control* Container::Add(std::unique_ptr<Control> child) {
  if (child == nullptr) return nullptr;
  Control* raw = child.get();
  children_.push_back(std::move(child));
  raw->AttachTo(GetWindow(), this);
  NeedParentLayout();
  return raw;
}

Control* Container::ItemAt(std::size_t index) const {
  return index < children_.size() ? children_[index].get() : nullptr;
}

int Container::IndexOf(const Control* child) const {
  for (std::size_t i = 0; i < children_.size(); ++i) {
    if (children_[i].get() == child) return static_cast<int>(i);
  }
  return -1;
}

void Container::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"inset")) {
    inset_ = ParseRectValue(value);
    NeedParentLayout();
  } else {
    Control::SetAttribute(name, value);
  }
}

void Container::Paint(Canvas& canvas, const Rect& clip) {
  if (Position().Intersect(clip).IsEmpty()) return;
  Control::Paint(canvas, clip);
  for (auto& child : children_) {
    if (child->IsVisible()) child->Paint(canvas, clip);
  }
}

Control* Container::FindControlAt(Point point) {
  if (!IsVisible() || !Position().Contains(point.x, point.y)) return nullptr;
  // Later children paint over earlier ones, so they are hit first.
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (Control* hit = (*it)->FindControlAt(point)) return hit;
  }
  return this;
}

void Container::DoInit() {
  for (auto& child : children_) child->DoInit();
}

Rect Container::InnerRect() const {
  const Rect& p = Position();
  Rect r{p.left + inset_.left, p.top + inset_.top, p.right - inset_.right, p.bottom - inset_.bottom};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void Container::PlaceFloating(Control& child) {
  const Rect inner = InnerRect();
  const Rect& f = child.FloatPosition();
  child.SetPosition({inner.left + f.left, inner.top + f.top, inner.left + f.right, inner.top + f.bottom});
}

namespace {

// The flow along one axis. `along` picks the child's fixed size and margins
// on the flow axis; the caller maps the results back to rectangles.
struct FlowItem {
  Control* child;
  int start;
  int extent;
};

template <class FixedAlong, class MarginBefore, class MarginAfter>
std::vector<FlowItem> Flow(const std::vector<std::unique_ptr<Control>>& children, int origin, int length,
                           FixedAlong fixedAlong, MarginBefore before, MarginAfter after) {
  std::vector<FlowItem> items;
  long long fixedTotal = 0;
  int flexible = 0;
  for (auto& child : children) {
    if (!child->IsVisible() || child->IsFloat()) continue;
    fixedTotal += before(*child) + after(*child);
    if (fixedAlong(*child) > 0) {
      fixedTotal += fixedAlong(*child);
    } else {
      ++flexible;
    }
  }
  const long long left = std::max(0LL, static_cast<long long>(length) - fixedTotal);
  const int share = flexible > 0 ? static_cast<int>(left / flexible) : 0;
  int remainder = flexible > 0 ? static_cast<int>(left - static_cast<long long>(share) * flexible) : 0;
  int seenFlexible = 0;
  long long cursor = origin;
  for (auto& child : children) {
    if (!child->IsVisible() || child->IsFloat()) continue;
    cursor += before(*child);
    int extent = fixedAlong(*child);
    if (extent <= 0) {
      extent = share;
      if (++seenFlexible == flexible) extent += remainder;
    }
    const int start = static_cast<int>(std::clamp(cursor, -1LL * kMaxCoordinate * 4, 4LL * kMaxCoordinate));
    items.push_back({child.get(), start, extent});
    cursor += extent + after(*child);
  }
  (void)remainder;
  return items;
}

}  // namespace

void VerticalLayout::SetPosition(const Rect& rect) {
  Control::SetPosition(rect);
  const Rect inner = InnerRect();
  auto items = Flow(
      children_, inner.top, inner.Height(), [](Control& c) { return c.FixedHeight(); },
      [](Control& c) { return c.Padding().top; }, [](Control& c) { return c.Padding().bottom; });
  for (const FlowItem& item : items) {
    Control& c = *item.child;
    const int x = inner.left + c.Padding().left;
    const int width = c.FixedWidth() > 0 ? c.FixedWidth()
                                         : std::max(0, inner.Width() - c.Padding().left - c.Padding().right);
    c.SetPosition({x, item.start, x + width, item.start + item.extent});
  }
  for (auto& child : children_) {
    if (child->IsVisible() && child->IsFloat()) PlaceFloating(*child);
  }
}

void HorizontalLayout::SetPosition(const Rect& rect) {
  Control::SetPosition(rect);
  const Rect inner = InnerRect();
  auto items = Flow(
      children_, inner.left, inner.Width(), [](Control& c) { return c.FixedWidth(); },
      [](Control& c) { return c.Padding().left; }, [](Control& c) { return c.Padding().right; });
  for (const FlowItem& item : items) {
    Control& c = *item.child;
    const int y = inner.top + c.Padding().top;
    const int height = c.FixedHeight() > 0 ? c.FixedHeight()
                                           : std::max(0, inner.Height() - c.Padding().top - c.Padding().bottom);
    c.SetPosition({item.start, y, item.start + item.extent, y + height});
  }
  for (auto& child : children_) {
    if (child->IsVisible() && child->IsFloat()) PlaceFloating(*child);
  }
}

void TabLayout::SetPosition(const Rect& rect) {
  Control::SetPosition(rect);
  const Rect inner = InnerRect();
  for (auto& child : children_) {
    if (!child->IsVisible()) continue;
    if (child->IsFloat()) {
      PlaceFloating(*child);
      continue;
    }
    const Rect& m = child->Padding();
    child->SetPosition({inner.left + m.left, inner.top + m.top, inner.right - m.right, inner.bottom - m.bottom});
  }
}

void TabLayout::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NameEquals(name, L"selectedid")) {
    current_ = std::max(0, ParseIntValue(value));
  } else {
    Container::SetAttribute(name, value);
  }
}

void TabLayout::DoInit() {
  if (current_ >= static_cast<int>(children_.size())) current_ = 0;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    children_[i]->SetVisible(static_cast<int>(i) == current_);
  }
  Container::DoInit();
}

bool TabLayout::SelectItem(int index) {
  if (index < 0 || index >= static_cast<int>(children_.size())) return false;
  if (index == current_ && children_[static_cast<std::size_t>(index)]->IsVisible()) return true;
  const int old = current_;
  current_ = index;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    children_[i]->SetVisible(static_cast<int>(i) == current_);
  }
  if (Window* window = GetWindow()) {
    window->PartShown(children_[static_cast<std::size_t>(current_)].get());
    window->SendNotify(this, L"tabselect", static_cast<std::uintptr_t>(current_), old);
  }
  return true;
}

}  // namespace Ui
