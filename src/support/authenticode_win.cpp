// Authenticode on Windows:
//   - WinVerifyTrust with the generic verify action, no revocation check, no
//     user interface, the state kept so the signer can be read;
//   - the signer's common name from the provider's data
//     (WTHelperProvDataFromStateData, then the signer's first certificate,
//     CertGetNameStringW), also when the chain is not trusted;
//   - WinVerifyTrust's result mapped to the portable status.
#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "support/authenticode.h"

namespace Utils {

namespace {

SignatureStatus StatusOf(LONG result) {
  switch (static_cast<HRESULT>(result)) {
    case ERROR_SUCCESS: return SignatureStatus::kValid;
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN: return SignatureStatus::kUnsigned;
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case CERT_E_UNTRUSTEDTESTROOT: return SignatureStatus::kUntrustedRoot;
    case TRUST_E_BAD_DIGEST: return SignatureStatus::kAltered;
    default: return SignatureStatus::kInvalid;
  }
}

std::wstring SignerName(HANDLE stateData) {
  if (stateData == nullptr) return {};
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(stateData);
  if (provider == nullptr) return {};
  CRYPT_PROVIDER_SGNR* signer = WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
  if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr ||
      signer->pasCertChain[0].pCert == nullptr)
    return {};
  const PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
  char oid[] = szOID_COMMON_NAME;
  const DWORD size = CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, nullptr, 0);
  if (size <= 1) return {};
  std::wstring name(size, L'\0');
  CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, name.data(), size);
  name.resize(size - 1);
  return name;
}

}  // namespace

SignatureCheck CheckAuthenticodeSignature(const std::wstring& path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();

  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

  SignatureCheck check;
  check.systemCode = static_cast<std::uint32_t>(result);
  check.status = StatusOf(result);
  check.signer = SignerName(data.hWVTStateData);

  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return check;
}

}  // namespace Utils
