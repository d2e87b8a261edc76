#pragma once

#include <cstdio>

namespace partwright {

// Makes sure descriptors 0, 1 and 2 are open before anything else is. A
// program started with one of them closed would otherwise hand that number to
// the next file it opens, and its messages would land in a piece. A closed one
// is reopened on the null device in the opposite direction, so using it still
// fails as it would have (POSIX; nothing to do on Windows).
void ReserveStandardDescriptors();

// Flushes and closes `out` (standard output). When a write to it failed, now
// or earlier, says so on `err` as the standard tools do
// ("partwright-cli: write error on standard output: No space left on device")
// and returns 1 in place of a `status` of 0; otherwise returns `status`.
[[nodiscard]] int CloseStandardOutput(std::FILE* out, std::FILE* err, int status);

}  // namespace partwright
