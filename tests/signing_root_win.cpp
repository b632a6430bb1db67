// The test root in the machine's trusted roots:
//   - the PEM file read and decoded (CryptStringToBinaryA);
//   - added to the local machine's "Root" store, which needs no confirmation
//     dialog (the current user's would ask);
//   - deleted from it again by the context the store returned.
#include "signing_root.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "test_support.h"

namespace TestSupport {

TrustedSigningRoot::TrustedSigningRoot() {
  const std::string pem = ReadFileBytes(ProgramFolder() + L"\\talvorin-test-signing-root.pem");
  if (pem.empty()) {
    error_ = "talvorin-test-signing-root.pem is missing beside the test program";
    return;
  }
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                            nullptr, nullptr)) {
    error_ = "the test root is no PEM certificate";
    return;
  }
  std::vector<BYTE> der(size);
  CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                       nullptr, nullptr);
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (store == nullptr) {
    error_ = "the machine's Root store cannot be opened: " + std::to_string(GetLastError());
    return;
  }
  PCCERT_CONTEXT added = nullptr;
  if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_REPLACE_EXISTING,
                                        &added)) {
    error_ = "the test root cannot be added to the Root store: " + std::to_string(GetLastError());
  }
  added_ = const_cast<CERT_CONTEXT*>(added);
  CertCloseStore(store, 0);
}

TrustedSigningRoot::~TrustedSigningRoot() {
  if (added_ != nullptr) CertDeleteCertificateFromStore(static_cast<PCCERT_CONTEXT>(added_));
}

}  // namespace TestSupport
