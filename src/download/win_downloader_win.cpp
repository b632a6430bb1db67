#include <windows.h>
#include <objbase.h>
#include <urlmon.h>

#include <atomic>
#include <cerrno>
#include <cstdint>

#include "download/curl_client.h"
#include "download/download_failure.h"
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
  void NewAttempt(const std::wstring& address) {
    responseCode = 0;
    expectedBytes = 0;
    finalAddress = address;
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
  STDMETHODIMP OnProgress(ULONG progress, ULONG maximum, ULONG status, LPCWSTR text) override {
    if (aborting) return E_ABORT;
    // The digest is promised by the address the redirects end at.
    if (status == BINDSTATUS_REDIRECTING && text != nullptr) finalAddress = text;
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
  std::wstring finalAddress;  // written and read on the worker only
};

namespace {

// The service's results in the installer's classes of failure.
DownloadFailure ClassifyServiceResult(HRESULT result, DWORD responseCode, const std::wstring& address,
                                      const std::wstring& target) {
  DownloadFailure failure;
  failure.host = HostOf(Utils::ToNarrow(address, Utils::kCodePageUtf8));
  if (responseCode >= 400) {
    failure.kind = responseCode == 407 ? FailureClass::kProxyAuth : FailureClass::kHttpStatus;
    failure.status = static_cast<long>(responseCode);
    return failure;
  }
  switch (static_cast<std::uint32_t>(result)) {
    case 0x800C0005u:  // INET_E_RESOURCE_NOT_FOUND: the name did not resolve
    case 0x800C0003u:  // INET_E_NO_SESSION
      failure.kind = FailureClass::kNoNetwork;
      break;
    case 0x800C0004u:  // INET_E_CANNOT_CONNECT
    case 0x800C0007u:  // INET_E_DATA_NOT_AVAILABLE
      failure.kind = FailureClass::kConnectionRefused;
      break;
    case 0x800C0008u:  // INET_E_DOWNLOAD_FAILURE: Wine's answer to a refused connection
      if (responseCode == 0) failure.kind = FailureClass::kConnectionRefused;
      break;
    case 0x800C000Bu:  // INET_E_CONNECTION_TIMEOUT
      failure.kind = FailureClass::kTimedOut;
      break;
    case 0x800C000Eu:  // INET_E_SECURITY_PROBLEM
    case 0x800C0019u:  // INET_E_INVALID_CERTIFICATE
    case 0x80072F0Du:  // ERROR_INTERNET_INVALID_CA
    case 0x80072F06u:  // ERROR_INTERNET_SEC_CERT_CN_INVALID
    case 0x80072F8Fu:  // ERROR_INTERNET_SECURE_FAILURE
      failure.kind = FailureClass::kTlsUntrusted;
      break;
    case 0x80070070u:  // ERROR_DISK_FULL
    case 0x80070027u:  // ERROR_HANDLE_DISK_FULL
      failure = ClassifyFileError(ENOSPC, target);
      break;
    case 0x80070005u:  // E_ACCESSDENIED
    case 0x80070020u:  // ERROR_SHARING_VIOLATION
    case 0x80070003u:  // ERROR_PATH_NOT_FOUND
      failure = ClassifyFileError(EACCES, target);
      break;
    default:
      break;
  }
  return failure;
}

// The digest lives in the address the redirects end at, and not every
// version of the service reports the redirects it follows (Wine's never
// does): one header request follows them before the transfer, which then
// fetches that address itself, so the bytes checked are the bytes of the
// address whose digest they are checked against. An answer that cannot be
// had leaves the address as it was, which the verification then treats as
// carrying none unless the service reports a redirect.
std::wstring AddressAfterRedirects(const std::wstring& url, const std::wstring& localPath) {
  if (!Utils::StartsWith(url, L"http")) return url;
  CurlClient probe(url, localPath + L".probe", nullptr, nullptr);
  const std::string final = probe.GetRealUrl_Str(Utils::ToNarrow(url, Utils::kCodePageUtf8));
  const std::wstring wide = Utils::ToWide(final, Utils::kCodePageUtf8);
  DEBUG_LOG(L"the address ends at %s", wide.c_str());
  return wide;
}

}  // namespace

CWinDownloader::CWinDownloader(NotifyCallback callback, const std::wstring& url,
                               const std::wstring& localPath)
    : bindCallback_(std::make_unique<CBindCallback>(callback)),
      callback_(std::move(callback)),
      localPath_(localPath),
      url_(url) {}

CWinDownloader::~CWinDownloader() {
  aborting_ = true;
  bindCallback_->aborting = true;
  StopWorkers();
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
    const std::wstring address = ServiceAddress(AddressAfterRedirects(url_, localPath_));
    // The service writes beside the target, which changes only once a
    // complete answer is there: a failed attempt leaves it as it was.
    const std::wstring side = localPath_ + L".part";
    HRESULT result = E_FAIL;
    bool done = false;
    DownloadFailure failure;
    for (int attempt = 0; attempt < kTries && !aborting_; ++attempt) {
      bindCallback_->NewAttempt(address);
      result = URLDownloadToFileW(nullptr, address.c_str(), side.c_str(), 0, bindCallback_.get());
      bool shortBody = false;
      if (result == S_OK) {
        result = CheckAnswer(side);
        shortBody = result != S_OK && bindCallback_->responseCode < 400;
      }
      if (result == S_OK && !MoveFileExW(side.c_str(), localPath_.c_str(), MOVEFILE_REPLACE_EXISTING))
        result = HRESULT_FROM_WIN32(GetLastError());
      if (result == S_OK) {
        FinishVerified(Utils::ToNarrow(bindCallback_->finalAddress, Utils::kCodePageUtf8));
        done = true;
        break;
      }
      failure = ClassifyServiceResult(result, bindCallback_->responseCode, bindCallback_->finalAddress, localPath_);
      if (shortBody) failure.kind = FailureClass::kShortBody;
      DeleteFileW(side.c_str());
      DEBUG_LOG(L"URLDownloadToFile result=%d (%s)", static_cast<int>(result), FailureSummary(failure).c_str());
      Sleep(kPauseAfterFailureMs);
    }
    if (!done)
      Notify(DL_CODE_FAIL, static_cast<double>(static_cast<std::int32_t>(result)),
             FailureNotificationText(kEngineUrlDownloadToFile, failure).c_str());
  }
  if (SUCCEEDED(com)) CoUninitialize();
}
