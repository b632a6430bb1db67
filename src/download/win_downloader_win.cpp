#include <windows.h>
#include <objbase.h>
#include <urlmon.h>

#include <atomic>

#include "download/win_downloader.h"
#include "support/debug_log.h"
#include "support/text.h"

// The status callback handed to the URL download service. Its life is the
// downloader's, so it counts no references. It also answers the HTTP
// negotiation: the service would otherwise store a server's error page as the
// package and call that a success.
class CWinDownloader::CBindCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  explicit CBindCallback(NotifyCallback notify) : callback(std::move(notify)) {}
  CBindCallback(const CBindCallback&) = delete;
  CBindCallback& operator=(const CBindCallback&) = delete;
  ~CBindCallback() { aborting = true; }

  // What one attempt learned; cleared before each.
  void NewAttempt() {
    responseCode = 0;
    expectedBytes = 0;
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *object = static_cast<IBindStatusCallback*>(this);
      return S_OK;
    }
    if (IsEqualIID(iid, IID_IHttpNegotiate)) {
      *object = static_cast<IHttpNegotiate*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP OnStartBinding(DWORD, IBinding* newBinding) override {
    binding = newBinding;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP OnProgress(ULONG progress, ULONG maximum, ULONG status, LPCWSTR) override {
    if (aborting) return E_ABORT;
    if ((status == BINDSTATUS_DOWNLOADINGDATA || status == BINDSTATUS_ENDDOWNLOADDATA) &&
        maximum > expectedBytes)
      expectedBytes = maximum;
    // Nothing done yet is no progress to report.
    if (maximum == 0 || progress == 0) return S_OK;
    float fraction = static_cast<float>(progress) / static_cast<float>(maximum);
    if (fraction > 1.0f) fraction = 1.0f;
    if (callback) callback(DL_CODE_PROGRESS, fraction, L"");
    return S_OK;
  }
  STDMETHODIMP OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
  STDMETHODIMP GetBindInfo(DWORD*, BINDINFO* info) override {
    if (info) info->dwCodePage = CP_UTF8;
    return E_NOTIMPL;
  }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

  STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) override {
    if (additionalHeaders != nullptr) *additionalHeaders = nullptr;
    return S_OK;
  }
  STDMETHODIMP OnResponse(DWORD code, LPCWSTR, LPCWSTR, LPWSTR* additionalHeaders) override {
    if (additionalHeaders != nullptr) *additionalHeaders = nullptr;
    responseCode = code;
    return code >= 400 ? E_ABORT : S_OK;
  }

  NotifyCallback callback;
  std::atomic<bool> aborting{false};
  IBinding* binding = nullptr;  // not owned
  std::atomic<DWORD> responseCode{0};
  std::atomic<ULONG> expectedBytes{0};
};

CWinDownloader::CWinDownloader(NotifyCallback callback, const std::wstring& url,
                               const std::wstring& localPath)
    // The status callback gets its copy now: copying it in Start would race
    // with a worker that a first Start already let run.
    : bindCallback_(std::make_unique<CBindCallback>(callback)),
      callback_(std::move(callback)),
      localPath_(localPath),
      url_(url),
      worker_(nullptr, L"ABDEF", [this](void*) { WorkerBody(); }) {}

CWinDownloader::~CWinDownloader() {
  aborting_ = true;
  bindCallback_->aborting = true;
  // worker_, the last member, is joined first.
}

// Some versions of the service report success for an error page or an
// answer cut short; neither is the package.
long CWinDownloader::CheckAnswer(const std::wstring& file) const {
  if (bindCallback_->responseCode >= 400) return INET_E_DOWNLOAD_FAILURE;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &attributes))
    return HRESULT_FROM_WIN32(GetLastError());
  const ULONGLONG size =
      (static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  const ULONG expected = bindCallback_->expectedBytes;
  if (expected > 0 && size < expected) return INET_E_DOWNLOAD_FAILURE;
  return S_OK;
}

void CWinDownloader::WorkerBody() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Notify(DL_CODE_START, 1.0, L"");
  if (localPath_.empty()) {
    // The service has nowhere to put the file; three tries would only
    // repeat this failure.
    Notify(DL_CODE_FAIL, 1.0, L"");
  } else {
    const std::wstring address = ServiceAddress(url_);
    // The service writes beside the target, which changes only once a
    // complete answer is there: a failed attempt leaves it as it was.
    const std::wstring side = localPath_ + L".part";
    HRESULT result = E_FAIL;
    bool done = false;
    for (int attempt = 0; attempt < kTries && !aborting_; ++attempt) {
      bindCallback_->NewAttempt();
      result = URLDownloadToFileW(nullptr, address.c_str(), side.c_str(), 0, bindCallback_.get());
      if (result == S_OK) result = CheckAnswer(side);
      if (result == S_OK && !MoveFileExW(side.c_str(), localPath_.c_str(), MOVEFILE_REPLACE_EXISTING))
        result = HRESULT_FROM_WIN32(GetLastError());
      if (result == S_OK) {
        Notify(DL_CODE_SUCCESS, 0.0, kEngineUrlDownloadToFile);
        done = true;
        break;
      }
      DeleteFileW(side.c_str());
      DEBUG_LOG(L"URLDownloadToFile result=%d", static_cast<int>(result));
      Sleep(kPauseAfterFailureMs);
    }
    if (!done) Notify(DL_CODE_FAIL, static_cast<double>(static_cast<std::int32_t>(result)), kEngineUrlDownloadToFile);
  }
  if (SUCCEEDED(com)) CoUninitialize();
}
