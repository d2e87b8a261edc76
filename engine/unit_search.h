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

}  // namespace partwright
