// Windows side of the termination requests:
// - the console's control events (Ctrl+C, Ctrl+Break, the console closed,
//   log-off, shut-down) arrive on a thread the system starts for them;
// - the window passes on the end of the session itself (WM_ENDSESSION).
#include <windows.h>

#include "support/termination.h"

namespace Utils {

namespace {

BOOL WINAPI OnConsoleControl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT: RequestTermination(L"Ctrl+C"); return TRUE;
    case CTRL_BREAK_EVENT: RequestTermination(L"Ctrl+Break"); return TRUE;
    case CTRL_CLOSE_EVENT: RequestTermination(L"the console was closed"); return TRUE;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: RequestTermination(L"the session ends"); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void ListenForSystemTerminationRequests() { ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE); }

}  // namespace Utils
