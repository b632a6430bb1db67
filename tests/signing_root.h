// The build's test code-signing root ("talvorin-test-signing-root.pem" beside
// the test program) in the system's trusted roots for the life of the object
// (Windows: the machine's "Root" store), removed again afterwards. Tests that
// use it run alone, since it changes what every signature check answers.
#pragma once

#include <string>

namespace TestSupport {

class TrustedSigningRoot {
 public:
  TrustedSigningRoot();
  ~TrustedSigningRoot();
  TrustedSigningRoot(const TrustedSigningRoot&) = delete;
  TrustedSigningRoot& operator=(const TrustedSigningRoot&) = delete;
  // Empty when the root is trusted now; else why not.
  const std::string& Error() const { return error_; }

 private:
  void* added_ = nullptr;
  std::string error_;
};

}  // namespace TestSupport
