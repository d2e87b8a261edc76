#pragma once

#include "partwright/split_run.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace partwright {

// Checks made when Split! is pressed, before anything is written.

// The folders the pieces would go into (the chosen folder, or each source's
// own) that are missing or cannot take a new file, each with the system's
// reason, as the text of one box; empty when every folder can take pieces.
// A source that is not there is left to the run, which reports it.
[[nodiscard]] QString UnwritableFoldersText(const SourceList& sources, const RunOptions& options);

// How many files from before the run the pieces would replace, found by a dry
// run of the whole list, as it counts them (each planned piece whose name a file holds). No dry run is made, and 0
// comes back at once, when no folder the pieces would go into holds a file besides the list's sources. `keepGoing` is
// asked at every yield of the dry run; nothing comes back when it said stop.
[[nodiscard]] std::optional<std::uint64_t> FilesToReplace(const SourceList& sources, const SplitSettings& settings,
                                                          RunOptions options, std::function<bool()> keepGoing);

}  // namespace partwright
