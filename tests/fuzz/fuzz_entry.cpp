// libFuzzer's entry for one target: the fuzz build compiles this file once
// per target, naming the target's check in TALVORIN_FUZZ_CHECK.
#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return Fuzz::RunCheckForLibFuzzer(TALVORIN_FUZZ_CHECK, data, size);
}
