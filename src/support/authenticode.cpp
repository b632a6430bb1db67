#include "support/authenticode.h"

namespace Utils {

const char* SignatureStatusKey(SignatureStatus status) {
  switch (status) {
    case SignatureStatus::kValid: return "valid";
    case SignatureStatus::kUnsigned: return "unsigned";
    case SignatureStatus::kUntrustedRoot: return "untrusted-root";
    case SignatureStatus::kAltered: return "altered";
    case SignatureStatus::kInvalid: return "invalid";
    case SignatureStatus::kNotSupported: return "not-supported";
  }
  return "invalid";
}

}  // namespace Utils
