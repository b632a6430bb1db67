// Incremental SHA-256 over the operating system's own implementation, for
// checking a package against a published "PackageSha256".
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace Utils {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, std::size_t size);
  // 64 lower-case hexadecimal digits; empty when the system's provider failed.
  std::string FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Utils
