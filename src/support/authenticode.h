// The Authenticode signature of an executable file, as the operating system
// judges it: whether it is signed, whether the signature is intact and
// chains to a trusted root, and who signed it.
#pragma once

#include <cstdint>
#include <string>

namespace Utils {

enum class SignatureStatus {
  kValid,          // intact, and its chain ends at a trusted root
  kUnsigned,       // the file carries no signature
  kUntrustedRoot,  // intact, but its chain ends at a root the system does not trust
  kAltered,        // the file changed after it was signed
  kInvalid,        // any other refusal (expired, revoked, distrusted, unreadable)
  kNotSupported,   // this system has no Authenticode verification
};

struct SignatureCheck {
  SignatureStatus status = SignatureStatus::kNotSupported;
  // The common name of the signer's certificate, when the system could read
  // one (also for a signature it does not trust); empty otherwise.
  std::wstring signer;
  // The system's own answer (WinVerifyTrust's result on Windows), for the log.
  std::uint32_t systemCode = 0;
};

// Asks the system to verify the file's embedded Authenticode signature. No
// revocation check (an installer must not hang on an unreachable list) and
// no user interface.
SignatureCheck CheckAuthenticodeSignature(const std::wstring& path);

// Stable words for a status in logs ("untrusted-root").
const char* SignatureStatusKey(SignatureStatus status);

}  // namespace Utils
