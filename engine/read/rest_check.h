#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/files/page_buffer.h"

namespace partwright {

class NativeFile;
class Utf8Validator;

// Reads that run through a source past the reader's buffer: the look for the
// first line end, and the check of the rest of a source as UTF-8.

// Scratch room for those reads.
inline constexpr std::size_t kScratchBytes = std::size_t{1} << 16;

// Where the bytes of the source from offset `at` go in a PageBuffer of
// kScratchBytes, and how many of those up to `to` fit: at an index that
// agrees with their offset modulo a page, so that the reads after the first
// start on a page of the file and of the buffer.
struct ScratchStep {
    std::size_t lead;
    std::size_t count;
};
[[nodiscard]] inline ScratchStep ScratchStepAt(std::uint64_t at, std::uint64_t to) {
    const auto lead = static_cast<std::size_t>(at % kPageBytes);
    return {lead, static_cast<std::size_t>(std::min<std::uint64_t>(kScratchBytes - lead, to - at))};
}

// Why a source that was `measured` bytes long when opened gave only `got`.
[[nodiscard]] std::string ShortfallReason(std::uint64_t got, std::uint64_t measured);

// Reads `file` from `from`, where it stands, to `size` through `check`, then
// goes back to `from`; on two threads side by side when the rest is long and
// the system reads at offsets. `valid`: all of it is UTF-8. False when a read
// or the seek fails (`reason` says why).
[[nodiscard]] bool CheckRestIsUtf8(NativeFile& file, std::uint64_t from, std::uint64_t size, Utf8Validator& check,
                                   bool& valid, std::string& reason);

}  // namespace partwright
