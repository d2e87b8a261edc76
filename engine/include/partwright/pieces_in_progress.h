#pragma once

namespace partwright {

// Removes the named temporary files of the pieces being written, from a
// signal handler just before the program ends (async-signal-safe; files
// without a name need nothing).
void RemovePiecesInProgress() noexcept;

}  // namespace partwright
