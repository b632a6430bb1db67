// Linux: the windows' accessible trees over AT-SPI, through ATK objects that
// the at-spi2 D-Bus bridge (atk-bridge) publishes on the accessibility bus.
//
// Checklist:
//   - an application object (ATK_ROLE_APPLICATION) as ATK's root, its
//     children the shown windows (frame, or dialog for a window with owner)
//   - each window's children: its exposed controls, flat, in layout order,
//     with role, name, description (a dialog's message), states, extents
//   - Action on buttons ("press") and check boxes ("toggle"), Text and
//     EditableText on edits, Value on progress bars
//   - events: focus, name/value/state changes, children added and removed on
//     a page change, window create/activate when shown (a dialog is read out
//     with its message), destroy when closed
//   - requests are answered from the window thread's loop (Pump); actions
//     run through the window's posted work, never inside the D-Bus call
//
// ATK finds its root through a class function without user data, so the one
// bridge of the process is reachable through one static pointer; the bridge
// starts only when an accessibility bus can be reached.
#include <atk-bridge.h>
#include <atk/atk.h>
#include <glib-object.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/debug_log.h"
#include "support/text.h"
#include "ui/framework/accessibility_bridge.h"
#include "ui/framework/accessible_tree.h"
#include "ui/framework/edit.h"
#include "ui/framework/platform_host.h"
#include "ui/framework/window.h"

namespace Ui {

namespace {

class AtkBridge;
class WindowEntry;

std::string Utf8(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }
std::wstring Wide(const char* text) { return text == nullptr ? std::wstring() : Utils::ToWide(text, Utils::kCodePageUtf8); }

// ---- the GObject side -----------------------------------------------------------------------

// What an ATK object stands for: a window (control nullptr) or one of its
// controls. `entry` is nullptr once the window or control is gone.
struct NodeData {
  WindowEntry* entry = nullptr;
  Control* control = nullptr;
  bool isRoot = false;
  std::string name;         // the last answers, kept alive for ATK's const strings
  std::string description;
  std::string text;
};

struct TalvorinNode {
  AtkObject parent;
  NodeData* data;
};
struct TalvorinNodeClass {
  AtkObjectClass parent;
};

GType talvorin_node_get_type();
GType talvorin_action_node_get_type();
GType talvorin_text_node_get_type();
GType talvorin_value_node_get_type();
GType talvorin_window_node_get_type();

NodeData* Data(gpointer object) { return reinterpret_cast<TalvorinNode*>(object)->data; }

AtkBridge* g_bridge = nullptr;  // see the file's opening comment

class WindowEntry final : public AccessibilityBridge::Registration, public IAccessibleObserver {
 public:
  WindowEntry(AtkBridge& bridge, Window& window);
  ~WindowEntry() override;

  Window& GetWindow() { return window_; }
  AtkObject* Self() { return self_; }
  bool Shown() const { return shown_; }
  // The ATK object of an exposed control (made on first use).
  AtkObject* ObjectOf(Control* control);
  const std::vector<Control*>& Children() const { return children_; }
  std::optional<AccessibleNode> Describe(const NodeData& data) const {
    if (data.control == nullptr) return DescribeWindow(window_);
    return DescribeControl(*data.control);
  }
  // Sends the children added and removed since the last look.
  void FlushStructure();

  void AccessibleChanged(Control* control, AccessibleChange change) override;

 private:
  AtkBridge& bridge_;
  Window& window_;
  AtkObject* self_ = nullptr;
  std::map<Control*, AtkObject*> objects_;
  std::vector<Control*> children_;
  bool structureDirty_ = false;
  bool shown_ = false;
  Control* focused_ = nullptr;
};

class AtkBridge final : public AccessibilityBridge {
 public:
  AtkBridge();
  ~AtkBridge() override;
  bool Start();

  std::unique_ptr<Registration> Register(Window& window) override;
  void Pump() override;
  bool NeedsPolling() const override { return true; }

  AtkObject* Root() { return root_; }
  const std::vector<WindowEntry*>& ShownWindows() const { return shown_; }
  void WindowShown(WindowEntry* entry);
  void WindowHidden(WindowEntry* entry);
  void Forget(WindowEntry* entry) {
    std::erase(entries_, entry);
    WindowHidden(entry);
  }

 private:
  AtkObject* root_ = nullptr;
  std::vector<WindowEntry*> entries_;
  std::vector<WindowEntry*> shown_;
  bool started_ = false;
};

// ---- AtkObject -------------------------------------------------------------------------------

AtkRole AtkRoleOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kWindow: return ATK_ROLE_FRAME;
    case AccessibleRole::kDialog: return ATK_ROLE_DIALOG;
    case AccessibleRole::kButton: return ATK_ROLE_PUSH_BUTTON;
    case AccessibleRole::kCheckBox: return ATK_ROLE_CHECK_BOX;
    case AccessibleRole::kEditableText: return ATK_ROLE_ENTRY;
    case AccessibleRole::kProgressBar: return ATK_ROLE_PROGRESS_BAR;
    case AccessibleRole::kComboBox: return ATK_ROLE_COMBO_BOX;
    case AccessibleRole::kLabel: return ATK_ROLE_LABEL;
    case AccessibleRole::kImage: return ATK_ROLE_IMAGE;
  }
  return ATK_ROLE_UNKNOWN;
}

const gchar* NodeGetName(AtkObject* object) {
  NodeData* data = Data(object);
  if (data->isRoot) {
    data->name = g_get_prgname() != nullptr ? g_get_prgname() : "talvorin-installer";
    if (g_bridge != nullptr && !g_bridge->ShownWindows().empty()) {
      const std::wstring& title = g_bridge->ShownWindows().front()->GetWindow().Title();
      if (!title.empty()) data->name = Utf8(title);
    }
    return data->name.c_str();
  }
  if (data->entry == nullptr) return "";
  const auto node = data->entry->Describe(*data);
  data->name = node ? Utf8(node->name) : std::string();
  return data->name.c_str();
}

const gchar* NodeGetDescription(AtkObject* object) {
  NodeData* data = Data(object);
  if (data->entry == nullptr || data->isRoot) return "";
  const auto node = data->entry->Describe(*data);
  data->description = node ? Utf8(node->description) : std::string();
  return data->description.c_str();
}

AtkRole NodeGetRole(AtkObject* object) {
  NodeData* data = Data(object);
  if (data->isRoot) return ATK_ROLE_APPLICATION;
  if (data->entry == nullptr) return ATK_ROLE_UNKNOWN;
  const auto node = data->entry->Describe(*data);
  return node ? AtkRoleOf(node->role) : ATK_ROLE_UNKNOWN;
}

gint NodeGetNChildren(AtkObject* object) {
  NodeData* data = Data(object);
  if (data->isRoot) return g_bridge != nullptr ? static_cast<gint>(g_bridge->ShownWindows().size()) : 0;
  if (data->entry == nullptr || data->control != nullptr) return 0;
  return static_cast<gint>(data->entry->Children().size());
}

AtkObject* NodeRefChild(AtkObject* object, gint index) {
  NodeData* data = Data(object);
  AtkObject* child = nullptr;
  if (data->isRoot) {
    if (g_bridge != nullptr && index >= 0 && index < static_cast<gint>(g_bridge->ShownWindows().size())) {
      child = g_bridge->ShownWindows()[static_cast<std::size_t>(index)]->Self();
    }
  } else if (data->entry != nullptr && data->control == nullptr && index >= 0 &&
             index < static_cast<gint>(data->entry->Children().size())) {
    child = data->entry->ObjectOf(data->entry->Children()[static_cast<std::size_t>(index)]);
  }
  return child != nullptr ? ATK_OBJECT(g_object_ref(child)) : nullptr;
}

gint NodeGetIndexInParent(AtkObject* object) {
  NodeData* data = Data(object);
  if (data->isRoot || data->entry == nullptr) return -1;
  if (data->control == nullptr) {
    if (g_bridge == nullptr) return -1;
    const auto& windows = g_bridge->ShownWindows();
    const auto it = std::find(windows.begin(), windows.end(), data->entry);
    return it == windows.end() ? -1 : static_cast<gint>(it - windows.begin());
  }
  const auto& children = data->entry->Children();
  const auto it = std::find(children.begin(), children.end(), data->control);
  return it == children.end() ? -1 : static_cast<gint>(it - children.begin());
}

AtkStateSet* NodeRefStateSet(AtkObject* object) {
  AtkStateSet* set = atk_state_set_new();
  NodeData* data = Data(object);
  if (data->isRoot) return set;
  if (data->entry == nullptr) {
    atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
    return set;
  }
  const auto node = data->entry->Describe(*data);
  if (!node) {
    atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
    return set;
  }
  const AccessibleStates& s = node->states;
  if (s.enabled) {
    atk_state_set_add_state(set, ATK_STATE_ENABLED);
    atk_state_set_add_state(set, ATK_STATE_SENSITIVE);
  }
  if (s.visible) {
    atk_state_set_add_state(set, ATK_STATE_VISIBLE);
    atk_state_set_add_state(set, ATK_STATE_SHOWING);
  }
  if (s.focusable) atk_state_set_add_state(set, ATK_STATE_FOCUSABLE);
  if (s.focused) atk_state_set_add_state(set, ATK_STATE_FOCUSED);
  if (s.checkable) atk_state_set_add_state(set, ATK_STATE_CHECKABLE);
  if (s.checked) atk_state_set_add_state(set, ATK_STATE_CHECKED);
  if (node->role == AccessibleRole::kEditableText) {
    atk_state_set_add_state(set, ATK_STATE_SINGLE_LINE);
    if (!s.readOnly) atk_state_set_add_state(set, ATK_STATE_EDITABLE);
  }
  if (node->role == AccessibleRole::kWindow || node->role == AccessibleRole::kDialog) {
    if (node->role == AccessibleRole::kDialog) atk_state_set_add_state(set, ATK_STATE_MODAL);
    if (data->entry->GetWindow().IsEnabled()) atk_state_set_add_state(set, ATK_STATE_ACTIVE);
  }
  return set;
}

void NodeInitialize(AtkObject* object, gpointer) { (void)object; }

// ---- AtkComponent --------------------------------------------------------------------------

void ComponentGetExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
                         AtkCoordType coordType) {
  *x = *y = *width = *height = 0;
  NodeData* data = Data(component);
  if (data->entry == nullptr) return;
  const auto node = data->entry->Describe(*data);
  if (!node) return;
  Window& window = data->entry->GetWindow();
  const double scale = window.Scale();
  Rect r{static_cast<int>(node->bounds.left * scale), static_cast<int>(node->bounds.top * scale),
         static_cast<int>(node->bounds.right * scale), static_cast<int>(node->bounds.bottom * scale)};
  if (coordType == ATK_XY_SCREEN) {
    const Rect screen = ScreenRectOf(window);
    r = {r.left + screen.left, r.top + screen.top, r.right + screen.left, r.bottom + screen.top};
  }
  *x = r.left;
  *y = r.top;
  *width = r.Width();
  *height = r.Height();
}

gboolean ComponentGrabFocus(AtkComponent* component) {
  NodeData* data = Data(component);
  return data->entry != nullptr && data->control != nullptr && FocusAccessible(*data->control);
}

void ComponentInit(gpointer gIface, gpointer) {
  auto* iface = static_cast<AtkComponentIface*>(gIface);
  iface->get_extents = ComponentGetExtents;
  iface->grab_focus = ComponentGrabFocus;
}

// ---- AtkAction (buttons, check boxes) ---------------------------------------------------------

gint ActionGetNActions(AtkAction*) { return 1; }

const gchar* ActionGetName(AtkAction* action, gint index) {
  if (index != 0) return nullptr;
  NodeData* data = Data(action);
  if (data->entry == nullptr) return "";
  const auto node = data->entry->Describe(*data);
  // AT-SPI's usual names: "press" for buttons, "toggle" for check boxes.
  return node ? AccessibleActionName(node->action) : "";
}

gboolean ActionDoAction(AtkAction* action, gint index) {
  NodeData* data = Data(action);
  return index == 0 && data->entry != nullptr && data->control != nullptr &&
         PerformAccessibleAction(*data->control);
}

void ActionInit(gpointer gIface, gpointer) {
  auto* iface = static_cast<AtkActionIface*>(gIface);
  iface->get_n_actions = ActionGetNActions;
  iface->get_name = ActionGetName;
  iface->do_action = ActionDoAction;
}

// ---- AtkText, AtkEditableText (the folder field) ---------------------------------------------

std::wstring CurrentText(NodeData* data) {
  if (data->entry == nullptr || data->control == nullptr) return {};
  const auto node = data->entry->Describe(*data);
  return node ? node->value : std::wstring();
}

gchar* TextGetText(AtkText* text, gint start, gint end) {
  // Offsets count characters: UTF-8 through GLib.
  const std::string whole = Utf8(CurrentText(Data(text)));
  const glong length = g_utf8_strlen(whole.c_str(), -1);
  if (end < 0 || end > length) end = static_cast<gint>(length);
  start = std::clamp<gint>(start, 0, end);
  return g_utf8_substring(whole.c_str(), start, end);
}

gint TextGetCharacterCount(AtkText* text) {
  return static_cast<gint>(g_utf8_strlen(Utf8(CurrentText(Data(text))).c_str(), -1));
}

gint TextGetCaretOffset(AtkText* text) {
  NodeData* data = Data(text);
  if (data->entry == nullptr || data->control == nullptr) return 0;
  // The edit's caret counts UTF-16 units; the text here counts characters.
  const auto* edit = dynamic_cast<const Edit*>(data->control);
  if (edit == nullptr) return 0;
  const std::wstring before = data->control->Text().substr(0, std::min(edit->Caret(), data->control->Text().size()));
  return static_cast<gint>(g_utf8_strlen(Utf8(before).c_str(), -1));
}

gunichar TextGetCharacterAtOffset(AtkText* text, gint offset) {
  const std::string whole = Utf8(CurrentText(Data(text)));
  if (offset < 0 || offset >= g_utf8_strlen(whole.c_str(), -1)) return 0;
  return g_utf8_get_char(g_utf8_offset_to_pointer(whole.c_str(), offset));
}

void TextInit(gpointer gIface, gpointer) {
  auto* iface = static_cast<AtkTextIface*>(gIface);
  iface->get_text = TextGetText;
  iface->get_character_count = TextGetCharacterCount;
  iface->get_caret_offset = TextGetCaretOffset;
  iface->get_character_at_offset = TextGetCharacterAtOffset;
}

void EditableSetTextContents(AtkEditableText* text, const gchar* contents) {
  NodeData* data = Data(text);
  if (data->entry != nullptr && data->control != nullptr) SetAccessibleValue(*data->control, Wide(contents));
}

void EditableInit(gpointer gIface, gpointer) {
  auto* iface = static_cast<AtkEditableTextIface*>(gIface); iface->set_text_contents = EditableSetTextContents; }

// ---- AtkValue (the progress bar) ---------------------------------------------------------------

std::optional<AccessibleRange> RangeOf(gpointer object) {
  NodeData* data = Data(object);
  if (data->entry == nullptr) return std::nullopt;
  const auto node = data->entry->Describe(*data);
  return node ? node->range : std::nullopt;
}

void ValueGetValueAndText(AtkValue* value, gdouble* current, gchar** text) {
  const auto range = RangeOf(value);
  if (current != nullptr) *current = range ? range->value : 0;
  if (text != nullptr) *text = range ? g_strdup_printf("%d%%", static_cast<int>(range->value)) : nullptr;
}

AtkRange* ValueGetRange(AtkValue* value) {
  const auto range = RangeOf(value);
  return range ? atk_range_new(range->minimum, range->maximum, nullptr) : nullptr;
}

void SetGValue(GValue* out, double number) {
  g_value_init(out, G_TYPE_DOUBLE);
  g_value_set_double(out, number);
}

void ValueGetCurrent(AtkValue* value, GValue* out) {
  const auto range = RangeOf(value);
  SetGValue(out, range ? range->value : 0);
}
void ValueGetMinimum(AtkValue* value, GValue* out) {
  const auto range = RangeOf(value);
  SetGValue(out, range ? range->minimum : 0);
}
void ValueGetMaximum(AtkValue* value, GValue* out) {
  const auto range = RangeOf(value);
  SetGValue(out, range ? range->maximum : 0);
}

void ValueInit(gpointer gIface, gpointer) {
  auto* iface = static_cast<AtkValueIface*>(gIface);
  iface->get_value_and_text = ValueGetValueAndText;
  iface->get_range = ValueGetRange;
  // Older clients still ask these.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  iface->get_current_value = ValueGetCurrent;
  iface->get_minimum_value = ValueGetMinimum;
  iface->get_maximum_value = ValueGetMaximum;
  G_GNUC_END_IGNORE_DEPRECATIONS
}

// AtkWindow has signals only (create, activate, destroy, ...).
void WindowInit(gpointer, gpointer) {}

// ---- the types ---------------------------------------------------------------------------------

void NodeInstanceInit(GTypeInstance* instance, gpointer) { reinterpret_cast<TalvorinNode*>(instance)->data = new NodeData(); }

void NodeFinalize(GObject* object);
gpointer g_nodeParentClass = nullptr;

void NodeClassInit(gpointer klass, gpointer) {
  g_nodeParentClass = g_type_class_peek_parent(klass);
  auto* atkClass = ATK_OBJECT_CLASS(klass);
  atkClass->get_name = NodeGetName;
  atkClass->get_description = NodeGetDescription;
  atkClass->get_role = NodeGetRole;
  atkClass->get_n_children = NodeGetNChildren;
  atkClass->ref_child = NodeRefChild;
  atkClass->get_index_in_parent = NodeGetIndexInParent;
  atkClass->ref_state_set = NodeRefStateSet;
  atkClass->initialize = NodeInitialize;
  G_OBJECT_CLASS(klass)->finalize = NodeFinalize;
}

void NodeFinalize(GObject* object) {
  auto* node = reinterpret_cast<TalvorinNode*>(object);
  delete node->data;
  node->data = nullptr;
  G_OBJECT_CLASS(g_nodeParentClass)->finalize(object);
}

GType RegisterType(const char* name, GType parent, std::size_t classSize, GClassInitFunc classInit,
                   std::size_t instanceSize, GInstanceInitFunc instanceInit) {
  const GTypeInfo info{static_cast<guint16>(classSize), nullptr, nullptr, classInit, nullptr, nullptr,
                       static_cast<guint16>(instanceSize), 0, instanceInit, nullptr};
  return g_type_register_static(parent, name, &info, GTypeFlags(0));
}

void AddInterface(GType type, GType iface, GInterfaceInitFunc init) {
  const GInterfaceInfo info{init, nullptr, nullptr};
  g_type_add_interface_static(type, iface, &info);
}

GType talvorin_node_get_type() {
  static const GType type = [] {
    GType t = RegisterType("TalvorinAccessible", ATK_TYPE_OBJECT, sizeof(TalvorinNodeClass),
                           NodeClassInit, sizeof(TalvorinNode),
                           NodeInstanceInit);
    AddInterface(t, ATK_TYPE_COMPONENT, ComponentInit);
    return t;
  }();
  return type;
}

GType Subtype(const char* name, std::initializer_list<std::pair<GType, GInterfaceInitFunc>> interfaces) {
  GType t = RegisterType(name, talvorin_node_get_type(), sizeof(TalvorinNodeClass), nullptr, sizeof(TalvorinNode),
                         nullptr);
  for (const auto& [iface, init] : interfaces) AddInterface(t, iface, init);
  return t;
}

GType talvorin_action_node_get_type() {
  static const GType type =
      Subtype("TalvorinAccessibleButton", {{ATK_TYPE_ACTION, ActionInit}});
  return type;
}
GType talvorin_text_node_get_type() {
  static const GType type =
      Subtype("TalvorinAccessibleEntry", {{ATK_TYPE_TEXT, TextInit},
                                          {ATK_TYPE_EDITABLE_TEXT, EditableInit}});
  return type;
}
GType talvorin_value_node_get_type() {
  static const GType type =
      Subtype("TalvorinAccessibleProgress", {{ATK_TYPE_VALUE, ValueInit}});
  return type;
}
GType talvorin_window_node_get_type() {
  static const GType type =
      Subtype("TalvorinAccessibleWindow", {{ATK_TYPE_WINDOW, WindowInit}});
  return type;
}

AtkObject* NewNode(GType type, WindowEntry* entry, Control* control, AtkObject* parent) {
  auto* object = ATK_OBJECT(g_object_new(type, nullptr));
  Data(object)->entry = entry;
  Data(object)->control = control;
  atk_object_initialize(object, nullptr);
  if (parent != nullptr) atk_object_set_parent(object, parent);
  return object;
}

// ---- ATK's root ---------------------------------------------------------------------------------

AtkObject* UtilGetRoot() { return g_bridge != nullptr ? g_bridge->Root() : nullptr; }
const gchar* UtilGetToolkitName() { return "Talvorin"; }
const gchar* UtilGetToolkitVersion() { return "1.0"; }

// ---- WindowEntry -----------------------------------------------------------------------------------

WindowEntry::WindowEntry(AtkBridge& bridge, Window& window) : bridge_(bridge), window_(window) {
  self_ = NewNode(talvorin_window_node_get_type(), this, nullptr, bridge_.Root());
  window_.AddAccessibleObserver(this);
  children_ = AccessibleControls(window_);
}

WindowEntry::~WindowEntry() {
  window_.RemoveAccessibleObserver(this);
  bridge_.Forget(this);
  for (auto& [control, object] : objects_) {
    Data(object)->entry = nullptr;
    g_object_unref(object);
  }
  Data(self_)->entry = nullptr;
  g_object_unref(self_);
}

AtkObject* WindowEntry::ObjectOf(Control* control) {
  if (auto it = objects_.find(control); it != objects_.end()) return it->second;
  const auto node = DescribeControl(*control);
  if (!node) return nullptr;
  GType type = talvorin_node_get_type();
  switch (node->role) {
    case AccessibleRole::kButton:
    case AccessibleRole::kCheckBox: type = talvorin_action_node_get_type(); break;
    case AccessibleRole::kEditableText: type = talvorin_text_node_get_type(); break;
    case AccessibleRole::kProgressBar: type = talvorin_value_node_get_type(); break;
    default: break;
  }
  AtkObject* object = NewNode(type, this, control, self_);
  objects_[control] = object;
  return object;
}

void WindowEntry::FlushStructure() {
  if (!structureDirty_) return;
  structureDirty_ = false;
  const std::vector<Control*> now = AccessibleControls(window_);
  if (now == children_) return;
  // Removed ones from the end backwards, so each index is the one the client still has.
  for (std::size_t i = children_.size(); i-- > 0;) {
    Control* control = children_[i];
    if (std::find(now.begin(), now.end(), control) != now.end()) continue;
    AtkObject* object = ObjectOf(control);
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(i));
    if (object != nullptr) g_signal_emit_by_name(self_, "children-changed::remove", static_cast<guint>(i), object);
  }
  const std::vector<Control*> before = children_;
  children_ = now;
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (std::find(before.begin(), before.end(), now[i]) != before.end()) continue;
    if (AtkObject* object = ObjectOf(now[i])) {
      g_signal_emit_by_name(self_, "children-changed::add", static_cast<guint>(i), object);
    }
  }
}

void WindowEntry::AccessibleChanged(Control* control, AccessibleChange change) {
  switch (change) {
    case AccessibleChange::kShown:
      shown_ = true;
      structureDirty_ = true;
      bridge_.WindowShown(this);
      return;
    case AccessibleChange::kClosed:
      shown_ = false;
      bridge_.WindowHidden(this);
      return;
    case AccessibleChange::kDestroyed:
      if (auto it = objects_.find(control); it != objects_.end()) {
        Data(it->second)->entry = nullptr;
        atk_object_notify_state_change(it->second, ATK_STATE_DEFUNCT, TRUE);
        g_object_unref(it->second);
        objects_.erase(it);
      }
      std::erase(children_, control);
      if (focused_ == control) focused_ = nullptr;
      return;
    case AccessibleChange::kStructure:
      structureDirty_ = true;
      return;
    default:
      break;
  }
  if (!shown_) return;
  if (change == AccessibleChange::kFocus) {
    if (focused_ != nullptr) {
      if (auto it = objects_.find(focused_); it != objects_.end()) {
        atk_object_notify_state_change(it->second, ATK_STATE_FOCUSED, FALSE);
      }
    }
    focused_ = control;
    FlushStructure();  // the new page's controls exist for the client before the focus lands there
    if (control != nullptr && DescribeControl(*control)) {
      if (AtkObject* object = ObjectOf(control)) atk_object_notify_state_change(object, ATK_STATE_FOCUSED, TRUE);
    }
    return;
  }
  if (control == nullptr || !DescribeControl(*control)) return;
  AtkObject* object = ObjectOf(control);
  if (object == nullptr) return;
  const auto node = DescribeControl(*control);
  switch (change) {
    case AccessibleChange::kText:
      if (node->role == AccessibleRole::kEditableText) {
        const gint length = static_cast<gint>(g_utf8_strlen(Utf8(node->value).c_str(), -1));
        g_signal_emit_by_name(object, "text-changed::insert", 0, length);
      } else {
        g_object_notify(G_OBJECT(object), "accessible-name");
      }
      break;
    case AccessibleChange::kValue:
      g_object_notify(G_OBJECT(object), "accessible-value");
      if (node->range) {
        gchar* text = g_strdup_printf("%d%%", static_cast<int>(node->range->value));
        g_signal_emit_by_name(object, "value-changed", node->range->value, text);
        g_free(text);
      }
      break;
    case AccessibleChange::kState:
      atk_object_notify_state_change(object, ATK_STATE_CHECKED, node->states.checked);
      atk_object_notify_state_change(object, ATK_STATE_ENABLED, node->states.enabled);
      atk_object_notify_state_change(object, ATK_STATE_SENSITIVE, node->states.enabled);
      break;
    default:
      break;
  }
}

// ---- AtkBridge --------------------------------------------------------------------------------------

AtkBridge::AtkBridge() = default;

AtkBridge::~AtkBridge() {
  if (started_) atk_bridge_adaptor_cleanup();
  if (root_ != nullptr) g_object_unref(root_);
  if (g_bridge == this) g_bridge = nullptr;
}

bool AtkBridge::Start() {
  if (g_bridge != nullptr) return false;  // one per process
  g_bridge = this;
  root_ = ATK_OBJECT(g_object_new(talvorin_node_get_type(), nullptr));
  Data(root_)->isRoot = true;
  atk_object_initialize(root_, nullptr);
  auto* util = static_cast<AtkUtilClass*>(g_type_class_ref(ATK_TYPE_UTIL));
  util->get_root = UtilGetRoot;
  util->get_toolkit_name = UtilGetToolkitName;
  util->get_toolkit_version = UtilGetToolkitVersion;
  g_type_class_unref(util);
  if (atk_bridge_adaptor_init(nullptr, nullptr) != 0) {
    DEBUG_LOG(L"no accessibility bus: the window is not offered to screen readers");
    return false;
  }
  started_ = true;
  return true;
}

std::unique_ptr<AccessibilityBridge::Registration> AtkBridge::Register(Window& window) {
  auto entry = std::make_unique<WindowEntry>(*this, window);
  entries_.push_back(entry.get());
  return entry;
}

void AtkBridge::WindowShown(WindowEntry* entry) {
  if (std::find(shown_.begin(), shown_.end(), entry) != shown_.end()) return;
  shown_.push_back(entry);
  entry->FlushStructure();
  g_signal_emit_by_name(root_, "children-changed::add", static_cast<guint>(shown_.size() - 1), entry->Self());
  atk_object_notify_state_change(entry->Self(), ATK_STATE_SHOWING, TRUE);
  g_signal_emit_by_name(entry->Self(), "create");
  // A screen reader reads the newly active window, a dialog with its message.
  g_signal_emit_by_name(entry->Self(), "activate");
  if (Control* focus = entry->GetWindow().Focused()) entry->AccessibleChanged(focus, AccessibleChange::kFocus);
}

void AtkBridge::WindowHidden(WindowEntry* entry) {
  const auto it = std::find(shown_.begin(), shown_.end(), entry);
  if (it == shown_.end()) return;
  const auto index = static_cast<guint>(it - shown_.begin());
  shown_.erase(it);
  g_signal_emit_by_name(entry->Self(), "deactivate");
  atk_object_notify_state_change(entry->Self(), ATK_STATE_SHOWING, FALSE);
  g_signal_emit_by_name(entry->Self(), "destroy");
  g_signal_emit_by_name(root_, "children-changed::remove", index, entry->Self());
}

void AtkBridge::Pump() {
  for (WindowEntry* entry : entries_) {
    if (entry->Shown()) entry->FlushStructure();
  }
  // Bounded: a flood of requests never starves the window.
  for (int i = 0; i < 64 && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
}

// Whether an accessibility bus can be reached without starting one: an
// explicit bus, or a session bus to ask for it. Without either, atk-bridge
// would have D-Bus start a session bus of its own for the X display.
bool AccessibilityBusReachable() {
  const char* off = std::getenv("NO_AT_BRIDGE");
  if (off != nullptr && std::string(off) == "1") return false;
  for (const char* name : {"AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  return runtime != nullptr && *runtime != '\0' && std::filesystem::exists(std::string(runtime) + "/bus", error);
}

}  // namespace

std::unique_ptr<AccessibilityBridge> CreateAccessibilityBridge() {
  if (!AccessibilityBusReachable()) return nullptr;
  auto bridge = std::make_unique<AtkBridge>();
  if (!bridge->Start()) return nullptr;
  return bridge;
}

}  // namespace Ui
