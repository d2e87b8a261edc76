#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace partwright {

// The first `unit` in [from, to), or `to`. These scans are the inner loops of
// the cutting, so they compare 32 code units per step where SSE2 is available.
[[nodiscard]] inline const char* FindUnit(const char* from, const char* to, char unit) {
    const void* found = std::memchr(from, unit, static_cast<std::size_t>(to - from));
    return found ? static_cast<const char*>(found) : to;
}

#if defined(__SSE2__)
namespace simd {

// Bit i set where at[i] == the needle, for 32 code units from `at`.
inline std::uint32_t Mask32(const char16_t* at, __m128i needle) {
    const auto* block = reinterpret_cast<const __m128i*>(at);
    const __m128i low = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(block), needle),
                                        _mm_cmpeq_epi16(_mm_loadu_si128(block + 1), needle));
    const __m128i high = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(block + 2), needle),
                                         _mm_cmpeq_epi16(_mm_loadu_si128(block + 3), needle));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
           (static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16);
}

inline std::uint32_t Mask32(const char* at, __m128i needle) {
    const auto* block = reinterpret_cast<const __m128i*>(at);
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(block), needle))) |
           (static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(block + 1), needle)))
            << 16);
}

inline __m128i Splat(char16_t unit) { return _mm_set1_epi16(static_cast<short>(unit)); }
inline __m128i Splat(char unit) { return _mm_set1_epi8(unit); }

}  // namespace simd
#endif

[[nodiscard]] inline const char16_t* FindUnit(const char16_t* from, const char16_t* to, char16_t unit) {
#if defined(__SSE2__)
    const __m128i needle = simd::Splat(unit);
    while (to - from >= 32) {
        const std::uint32_t mask = simd::Mask32(from, needle);
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
template <class Unit>
[[nodiscard]] const Unit* FindLineEnds(const Unit* from, const Unit* to, std::int64_t& remaining) {
#if defined(__SSE2__)
    const __m128i cr = simd::Splat(Unit('\r'));
    const __m128i lf = simd::Splat(Unit('\n'));
    // Each step looks at 33 units: the LF of a pair whose CR is the 32nd.
    while (to - from >= 33) {
        std::uint32_t pairs = simd::Mask32(from, cr) & simd::Mask32(from + 1, lf);
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
        if (from[0] == Unit('\r') && from[1] == Unit('\n') && --remaining == 0) return from;
    }
    return to;
}

}  // namespace partwright
