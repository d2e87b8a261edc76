#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/cut/cutter.h"
#include "engine/run/run_context.h"

namespace partwright {

// The cutters of the options that cut whole lines by a rule of their own
// (RunOptions::parts, RunOptions::matchPattern), beside the split modes.

// The cutter for the next block when one of those options is set (and no
// size, which goes before them); null otherwise. A pattern that cannot be
// used is reported as a failure of the source, and `failed` set.
[[nodiscard]] std::unique_ptr<PieceCutter> CutterByRule(RunContext& run, const std::filesystem::path& source,
                                                        const SourceSpan& span, std::uint64_t sourceBytes,
                                                        bool& failed);

// Places `units`, the tail of a step the reader gave as `step` after reading
// from source byte `before` to `after`, for the cut into parts: where
// `offset` (the reader's OffsetOf) says they lie; else, for a source in
// UTF-16 or a code page of one byte a character, as the characters before
// the step's end, counted back; else spread over the step's source bytes in proportion.
void PlaceUnits(SourceSpan& span, std::string_view step, std::string_view units, std::uint64_t before,
                std::uint64_t after, std::optional<std::uint64_t> offset, SourceMeasure measure);

// A block cut into parts is complete: tells the host when it gave fewer than asked.
void NoteParts(RunContext& run, const PieceCutter& cutter, const std::filesystem::path& source);

}  // namespace partwright
