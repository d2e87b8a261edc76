#pragma once

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace partwright {

// The first `unit` in [from, to), or `to`. This scan is the inner loop of the
// cutting, so it compares 32 code units per step where SSE2 is available.
[[nodiscard]] inline const char16_t* FindUnit(const char16_t* from, const char16_t* to, char16_t unit) {
#if defined(__SSE2__)
    const __m128i needle = _mm_set1_epi16(static_cast<short>(unit));
    while (to - from >= 32) {
        const auto* block = reinterpret_cast<const __m128i*>(from);
        const __m128i low = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(block), needle),
                                            _mm_cmpeq_epi16(_mm_loadu_si128(block + 1), needle));
        const __m128i high = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(block + 2), needle),
                                             _mm_cmpeq_epi16(_mm_loadu_si128(block + 3), needle));
        const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
                          (static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16);
        if (mask != 0) return from + std::countr_zero(mask);
        from += 32;
    }
#endif
    for (; from != to; ++from) {
        if (*from == unit) return from;
    }
    return to;
}

// Looks for the `remaining`-th CR LF pair lying wholly in [from, to) and
// returns its CR. When there are fewer, returns `to` and lowers `remaining` by
// the number found. A CR LF pair never overlaps another, so the pairs can be
// counted 32 positions at a time: a line-counting cut of N lines then costs
// about as much as a scan for one unit, whatever the line length.
[[nodiscard]] inline const char16_t* FindLineEnds(const char16_t* from, const char16_t* to, std::int64_t& remaining) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    const auto mask32 = [](const char16_t* at, __m128i needle) {
        const auto* block = reinterpret_cast<const __m128i*>(at);
        const __m128i low = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(block), needle),
                                            _mm_cmpeq_epi16(_mm_loadu_si128(block + 1), needle));
        const __m128i high = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(block + 2), needle),
                                             _mm_cmpeq_epi16(_mm_loadu_si128(block + 3), needle));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
               (static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16);
    };
    // Each step looks at 33 units: the LF of a pair whose CR is the 32nd.
    while (to - from >= 33) {
        std::uint32_t pairs = mask32(from, cr) & mask32(from + 1, lf);
        if (pairs != 0) {
            const int found = std::popcount(pairs);
            if (found < remaining) {
                remaining -= found;
            } else {
                for (std::int64_t skip = remaining - 1; skip > 0; --skip) pairs &= pairs - 1;
                return from + std::countr_zero(pairs);
            }
        }
        from += 32;
    }
#endif
    for (; to - from >= 2; ++from) {
        if (from[0] == u'\r' && from[1] == u'\n' && --remaining == 0) return from;
    }
    return to;
}

}  // namespace partwright
