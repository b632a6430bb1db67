// Authenticode on Linux:
//   - no verification exists here: every file is "not supported", and the
//     caller decides what that means.
#include "support/authenticode.h"

namespace Utils {

SignatureCheck CheckAuthenticodeSignature(const std::wstring&) { return SignatureCheck{}; }

}  // namespace Utils
