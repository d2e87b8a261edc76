#pragma once

#include <string_view>

namespace partwright {

// The byte-order marks that decide a source's encoding.
enum class Mark { None, Utf16Le, Utf16Be, Utf8 };

// The mark the first bytes of a source begin with: FF FE, FE FF or EF BB BF.
// A first byte FF or FE without its partner is no mark.
[[nodiscard]] inline Mark MarkOf(std::string_view first) {
    if (first.starts_with("\xFF\xFE")) return Mark::Utf16Le;
    if (first.starts_with("\xFE\xFF")) return Mark::Utf16Be;
    if (first.starts_with("\xEF\xBB\xBF")) return Mark::Utf8;
    return Mark::None;
}

}  // namespace partwright
