#pragma once

#include <cstdint>
#include <filesystem>

namespace partwright {

// Named temporary files of pieces, where a signal handler can find them and
// remove them before the program ends (RemovePiecesInProgress). A name is
// tracked before its file is created, and once the program is ending no new
// one is: so a file of that kind can never be left behind untracked.

// What TrackTemporary gives for a name it could not track.
inline constexpr int kNotTracked = -1;
// ...and for a name that must not be created, as the program is ending.
inline constexpr int kProgramEnding = -2;

// Tracks `name`, about to be created: a slot for the calls below, or one of the two above.
[[nodiscard]] int TrackTemporary(const std::filesystem::path& name);
// The file of the slot's name was created, or (false) was not: then the slot is free again.
void TemporaryCreated(int slot, bool created);
// The file of the slot's name is gone or renamed: the slot is free again.
void UntrackTemporary(int slot);
// The slot in which this thread tracks `name`, or kNotTracked.
[[nodiscard]] int TrackedSlotOf(const std::filesystem::path& name);
// A folder that holds named temporary files "1" to "N" (the pieces of a
// by-column cut, more than the slots above could hold): tracked before it
// is created, its files and then itself removed by RemovePiecesInProgress.
// A slot, or kNotTracked / kProgramEnding.
[[nodiscard]] int TrackTemporaryFolder(const std::filesystem::path& folder);
// The folder of the slot may hold files "1" to `count` from now on.
void TemporaryFolderHolds(int slot, std::uint64_t count);
// The folder of the slot is gone: the slot is free again.
void UntrackTemporaryFolder(int slot);
// Names may be created again after RemovePiecesInProgress, in a program that
// goes on (a test of it).
void AllowTemporariesAgain();

}  // namespace partwright
