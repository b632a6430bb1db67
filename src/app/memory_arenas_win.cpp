#include "app/memory_arenas.h"

namespace Installer {

// The C runtime here allocates from the one process heap already.
void LimitMemoryArenas() {}

}  // namespace Installer
