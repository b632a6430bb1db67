// The product's data file, carried in the program's read-only data.
// (Windows carries it as a resource instead: payload_win.cpp.)
#include <cstdint>

#include "demo.h"

#ifndef TALVORIN_DEMO_PAYLOAD
#error "TALVORIN_DEMO_PAYLOAD must name the data file to carry"
#endif

__asm__(
    ".pushsection .rodata\n"
    ".balign 16\n"
    "talvorin_demo_payload:\n"
    ".incbin \"" TALVORIN_DEMO_PAYLOAD "\"\n"
    "talvorin_demo_payload_end:\n"
    ".balign 8\n"
    "talvorin_demo_payload_size:\n"
    ".quad talvorin_demo_payload_end - talvorin_demo_payload\n"
    ".popsection\n");

extern "C" {
extern const unsigned char talvorin_demo_payload[];
extern const std::uint64_t talvorin_demo_payload_size;
}

namespace Demo {

std::span<const unsigned char> Payload() {
  return {talvorin_demo_payload, static_cast<std::size_t>(talvorin_demo_payload_size)};
}

}  // namespace Demo
