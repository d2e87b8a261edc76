#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace partwright {

// A whole number of bytes of at least 1, with an optional suffix K, M or G
// (either case) for KiB, MiB or GiB; no blanks, no sign, no fraction.
//   ParseByteSize("4096") == 4096, ParseByteSize("64K") == 65536, ParseByteSize("1.5M") == nullopt
// When it refuses the text, `why` (if given) says why, for a message that quotes the text before it.
[[nodiscard]] std::optional<std::uint64_t> ParseByteSize(std::string_view text, std::string* why = nullptr);

// A whole count of at least 1 and at most `most`, in decimal digits only (no blanks, sign or
// fraction). A count beyond `most` is refused as too large, never wrapped round.
//   ParseCount("12", 100) == 12, ParseCount("101", 100) == nullopt, ParseCount("0", 100) == nullopt
// When it refuses the text, `why` (if given) says why, for a message that quotes the text before it.
[[nodiscard]] std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t most,
                                                      std::string* why = nullptr);

}  // namespace partwright
