// The skin archive reader's fuzz target, shared by the libFuzzer program and
// the short deterministic run inside the test program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace SkinFuzz {

// Opens `data` as a skin archive and checks what a reader may promise about
// any input: no crash, and when it opens, every listed name is found, with
// backslashes too, and the lookups agree. Returns the first broken promise,
// or empty. `opened` tells whether the bytes were accepted.
std::string CheckSkinArchive(const std::uint8_t* data, std::size_t size, bool* opened);

}  // namespace SkinFuzz

// libFuzzer-style entry: aborts on a broken promise, otherwise returns 0.
int FuzzSkinArchive(const std::uint8_t* data, std::size_t size);
