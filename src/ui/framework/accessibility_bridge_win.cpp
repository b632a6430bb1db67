// Windows: not yet offered through this bridge (the Win32 host answers no
// WM_GETOBJECT); the accessible tree is portable and tested natively.
#include "ui/framework/accessibility_bridge.h"

namespace Ui {

std::unique_ptr<AccessibilityBridge> CreateAccessibilityBridge() { return nullptr; }

}  // namespace Ui
