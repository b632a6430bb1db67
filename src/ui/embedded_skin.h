// Where this program carries its skin archive. Windows keeps it as a resource
// of the executable; Linux links the bytes into the program itself.
#pragma once

#include <span>

namespace Ui {

// The archive's bytes, valid until the process ends; empty when the program
// carries none (or, on Windows, the resource cannot be loaded).
std::span<const unsigned char> EmbeddedSkinBytes();

}  // namespace Ui
