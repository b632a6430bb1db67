#include "download/publisher_check.h"

#include <cstdio>
#include <cwchar>
#include <utility>

#include "download/download_failure.h"
#include "support/debug_log.h"
#include "support/text.h"

namespace {

bool RemovePackage(const std::wstring& path) {
#ifdef _WIN32
  return _wremove(path.c_str()) == 0;
#else
  return std::remove(Utils::ToNarrow(path, Utils::kCodePageAnsi).c_str()) == 0;
#endif
}

}  // namespace

PublisherDecision DecidePublisher(const std::wstring& expected, const Utils::SignatureCheck& check) {
  const std::wstring wanted = Utils::Trim(expected);
  if (wanted.empty()) return PublisherDecision::kNotAsked;
  if (check.status == Utils::SignatureStatus::kNotSupported) return PublisherDecision::kIgnored;
  if (check.status == Utils::SignatureStatus::kValid && check.signer == wanted) return PublisherDecision::kAccepted;
  return PublisherDecision::kRefused;
}

std::wstring DescribeSignatureCheck(const Utils::SignatureCheck& check) {
  wchar_t code[16];
  std::swprintf(code, 16, L"0x%08X", static_cast<unsigned>(check.systemCode));
  std::wstring text = L"signature " + Utils::ToWide(Utils::SignatureStatusKey(check.status), Utils::kCodePageUtf8);
  if (check.status != Utils::SignatureStatus::kNotSupported) text += std::wstring(L" (") + code + L")";
  text += check.signer.empty() ? std::wstring(L", no signer named") : L", signer \"" + check.signer + L"\"";
  return text;
}

CPublisherCheck::CPublisherCheck(NotifyCallback callback, std::wstring expected, std::wstring packagePath,
                                 const std::function<std::unique_ptr<CDownloader>(NotifyCallback)>& makeSource,
                                 SignatureChecker checker)
    : callback_(std::move(callback)),
      expected_(Utils::Trim(expected)),
      packagePath_(std::move(packagePath)),
      checker_(std::move(checker)) {
  source_ = makeSource([this](std::int32_t code, double value, const wchar_t* text) { Forward(code, value, text); });
}

void CPublisherCheck::Start() { source_->Start(); }

void CPublisherCheck::Forward(std::int32_t code, double value, const wchar_t* text) {
  if (code != DL_CODE_SUCCESS) {
    callback_(code, value, text);
    return;
  }
  const Utils::SignatureCheck check = checker_(packagePath_);
  const std::wstring described = DescribeSignatureCheck(check);
  switch (DecidePublisher(expected_, check)) {
    case PublisherDecision::kNotAsked:
      break;
    case PublisherDecision::kAccepted:
      DEBUG_LOG(L"the package is signed by the publisher \"%s\": %s", expected_.c_str(), described.c_str());
      break;
    case PublisherDecision::kIgnored:
      DEBUG_LOG(L"PackagePublisher \"%s\" is ignored: package signatures are verified on Windows only",
                expected_.c_str());
      break;
    case PublisherDecision::kRefused: {
      DEBUG_LOG(L"the package is refused: PackagePublisher wants a valid signature of \"%s\"; %s",
                expected_.c_str(), described.c_str());
      if (!RemovePackage(packagePath_)) DEBUG_LOG(L"the refused package could not be deleted: %s", packagePath_.c_str());
      DownloadFailure failure;
      failure.kind = FailureClass::kPublisherRefused;
      failure.host = expected_;
      const std::wstring engine = text != nullptr ? text : L"";
      callback_(DL_CODE_FAIL, static_cast<double>(static_cast<std::int32_t>(check.systemCode)),
                FailureNotificationText(engine.c_str(), failure).c_str());
      return;
    }
  }
  callback_(code, value, text);
}
