// Measures what the system's UI Automation core does with a raw element
// provider answered through WM_GETOBJECT: the exports, the node API
// (UiaNodeFromHandle, UiaGetPropertyValue) and the COM client (CUIAutomation).
// Build and run (Wine):
//   x86_64-w64-mingw32-g++-posix -std=c++20 -O1 tools/uia-probe/uia_probe.cpp -o uia_probe.exe
//     -static -lole32 -loleaut32 -luuid
//   xvfb-run -a wine uia_probe.exe
// Debian 12's MinGW headers lack the IUIAutomation interfaces, and their
// uiautomationcoreapi.h does not compile as C++ (a parameter named "new"):
// the ids it needs are defined here.
#define INITGUID
#include <windows.h>
#include <ole2.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>
#define UiaRootObjectId (-25)
#define UIA_WindowControlTypeId 50032
#include <cstdio>
#include <initializer_list>

typedef LRESULT(WINAPI* ReturnRaw)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*);
static ReturnRaw g_returnRaw;

struct Provider : IRawElementProviderSimple {
  LONG refs = 1;
  HWND hwnd;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IRawElementProviderSimple) { *out = this; AddRef(); return S_OK; }
    *out = nullptr; return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs); }
  HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* o) override { *o = ProviderOptions_ServerSideProvider; return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID, IUnknown** p) override { *p = nullptr; return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID id, VARIANT* v) override {
    VariantInit(v);
    if (id == UIA_NamePropertyId) { v->vt = VT_BSTR; v->bstrVal = SysAllocString(L"ProbeName"); }
    if (id == UIA_ControlTypePropertyId) { v->vt = VT_I4; v->lVal = UIA_WindowControlTypeId; }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** p) override { *p = nullptr; return S_OK; }
};
static Provider g_provider;
static int g_asked = 0;

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_GETOBJECT && static_cast<long>(l) == UiaRootObjectId) { ++g_asked; return g_returnRaw(h, w, l, &g_provider); }
  return DefWindowProcW(h, m, w, l);
}

int main() {
  HMODULE core = LoadLibraryW(L"uiautomationcore.dll");
  g_returnRaw = core ? reinterpret_cast<ReturnRaw>(GetProcAddress(core, "UiaReturnRawElementProvider")) : nullptr;
  printf("uiautomationcore.dll %s, UiaReturnRawElementProvider %s\n", core ? "loads" : "missing", g_returnRaw ? "found" : "missing");
  if (!g_returnRaw) return 1;
  WNDCLASSW wc{}; wc.lpfnWndProc = Proc; wc.hInstance = GetModuleHandleW(nullptr); wc.lpszClassName = L"probe";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowW(L"probe", L"Title", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(hwnd, SW_SHOW);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  for (const char* fn : {"UiaNodeFromHandle", "UiaGetPropertyValue", "UiaNodeRelease", "UiaRaiseAutomationEvent",
                         "UiaRaiseAutomationPropertyChangedEvent", "UiaHostProviderFromHwnd", "UiaClientsAreListening",
                         "UiaNavigate", "UiaGetUpdatedCache", "UiaGetReservedNotSupportedValue"}) {
    printf("%s: %s\n", fn, GetProcAddress(core, fn) ? "exported" : "missing");
  }
  typedef HRESULT(WINAPI* NodeFromHandle)(HWND, void**);
  typedef HRESULT(WINAPI* GetProp)(void*, PROPERTYID, VARIANT*);
  auto nodeFromHandle = reinterpret_cast<NodeFromHandle>(GetProcAddress(core, "UiaNodeFromHandle"));
  auto getProp = reinterpret_cast<GetProp>(GetProcAddress(core, "UiaGetPropertyValue"));
  if (nodeFromHandle && getProp) {
    void* node = nullptr;
    HRESULT hr = nodeFromHandle(hwnd, &node);
    printf("UiaNodeFromHandle: 0x%08lx, WM_GETOBJECT asked %d times\n", hr, g_asked);
    if (SUCCEEDED(hr) && node) {
      VARIANT v; VariantInit(&v);
      hr = getProp(node, UIA_NamePropertyId, &v);
      printf("UiaGetPropertyValue(Name): 0x%08lx vt=%d '%ls'\n", hr, v.vt, v.vt == VT_BSTR ? v.bstrVal : L"");
      VariantInit(&v);
      hr = getProp(node, UIA_ControlTypePropertyId, &v);
      printf("UiaGetPropertyValue(ControlType): 0x%08lx vt=%d %ld\n", hr, v.vt, v.lVal);
    }
  }
  IUnknown* client = nullptr;
  static const CLSID clsid = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
  HRESULT hc = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&client));
  printf("CoCreateInstance(CUIAutomation): 0x%08lx\n", hc);
  return 0;
}
