#include "app/memory_arenas.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Installer {

void LimitMemoryArenas() {
#if defined(__GLIBC__)
  // Best effort: glibc answers 0 only for an unknown option.
  (void)mallopt(M_ARENA_MAX, 2);
#endif
}

}  // namespace Installer
