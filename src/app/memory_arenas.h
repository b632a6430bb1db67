// How many heaps the C library may keep for the program's threads.
#pragma once

namespace Installer {

// glibc gives each new thread that allocates a heap ("arena") of its own,
// and each keeps the memory it once touched. The installer's few threads
// (window, download, digest, analytics) allocate little and rarely at the
// same moment, so sharing two heaps costs no speed and keeps the peak
// memory of an installation lower. Elsewhere this does nothing.
void LimitMemoryArenas();

}  // namespace Installer
