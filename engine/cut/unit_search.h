#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace partwright {

// The first `unit` in [from, to), or `to`. These scans are the inner loops of
// the cutting, so they compare 32 bytes per step where SSE2 is available.
[[nodiscard]] inline const char* FindUnit(const char* from, const char* to, char unit) {
    const void* found = std::memchr(from, unit, static_cast<std::size_t>(to - from));
    return found ? static_cast<const char*>(found) : to;
}

#if defined(__SSE2__)
namespace simd {

// Bit i set where at[i] == the needle, for 32 bytes from `at`.
inline std::uint32_t Mask32(const char* at, __m128i needle) {
    const auto* block = reinterpret_cast<const __m128i*>(at);
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(block), needle))) |
           (static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(block + 1), needle))) << 16);
}

// std::popcount without a POPCNT instruction is a call into the compiler's
// run-time library; in this loop the call costs more than the scan itself.
inline int CountBits(std::uint32_t x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int>((x * 0x01010101u) >> 24);
}

// Lanes of all ones where the bytes at `at` equal the needle's.
inline __m128i Equal(const char* at, __m128i needle) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), needle);
}

// The sum of the byte counts in the lanes of `counts`, each at most 255.
inline std::int64_t SumLanes(__m128i counts) {
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
}

inline __m128i Splat(char unit) { return _mm_set1_epi8(unit); }

}  // namespace simd
#endif

// Looks for the `remaining`-th CR LF pair lying wholly in [from, to) and
// returns its CR. When there are fewer, returns `to` and lowers `remaining` by
// the number found. A CR LF pair never overlaps another, so the pairs can be
// counted 32 positions at a time: a line-counting cut of N lines then costs
// about as much as a scan for one unit, whatever the line length.
[[nodiscard]] inline const char* FindLineEnds(const char* from, const char* to, std::int64_t& remaining) {
#if defined(__SSE2__)
    const __m128i cr = simd::Splat('\r');
    const __m128i lf = simd::Splat('\n');
    // Far from the pair sought, the pairs of a stretch are only counted, in
    // vector lanes, without locating any; a stretch holding the pair sought
    // is then gone over again below. A stretch spans at most 4 units per pair
    // still to go, so the second pass costs little beside the first.
    constexpr std::int64_t kLanes = 16;        // bytes per vector
    constexpr std::int64_t kMostBlocks = 255;  // a lane counts to 255 at most
    while (remaining >= 64 && to - from > kLanes) {
        // `remaining` may be near the 64-bit limit, so it is capped before it is scaled.
        const std::int64_t reach = 4 * std::min(remaining, kMostBlocks * kLanes) / kLanes;
        const std::int64_t blocks = std::min<std::int64_t>({kMostBlocks, reach, (to - from - 1) / kLanes});
        __m128i counts = _mm_setzero_si128();
        for (std::int64_t k = 0; k < blocks; ++k) {
            const char* at = from + kLanes * k;
            const __m128i pairs = _mm_and_si128(simd::Equal(at, cr), simd::Equal(at + 1, lf));  // -1 per pair
            counts = _mm_sub_epi8(counts, pairs);
        }
        const std::int64_t found = simd::SumLanes(counts);
        if (found >= remaining) break;
        remaining -= found;
        from += kLanes * blocks;
    }
    // Each step looks at 33 units: the LF of a pair whose CR is the 32nd.
    while (to - from >= 33) {
        std::uint32_t pairs = simd::Mask32(from, cr) & simd::Mask32(from + 1, lf);
        if (pairs != 0) {
            const int found = simd::CountBits(pairs);
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
        if (from[0] == '\r' && from[1] == '\n' && --remaining == 0) return from;
    }
    return to;
}

// The last `unit` in [from, to), or null.
[[nodiscard]] inline const char* FindLastUnit(const char* from, const char* to, char unit) {
#if defined(__SSE2__)
    const __m128i needle = simd::Splat(unit);
    while (to - from >= 32) {
        const std::uint32_t mask = simd::Mask32(to - 32, needle);
        if (mask != 0) return to - 1 - std::countl_zero(mask);
        to -= 32;
    }
#endif
    while (to != from) {
        if (*--to == unit) return to;
    }
    return nullptr;
}

// As FindLineEnds, for lines ended by a lone LF: the `remaining`-th LF in
// [from, to), or `to` with `remaining` lowered by the number found.
[[nodiscard]] inline const char* FindLfs(const char* from, const char* to, std::int64_t& remaining) {
#if defined(__SSE2__)
    const __m128i lf = simd::Splat('\n');
    constexpr std::int64_t kLanes = 16;
    while (remaining >= 64 && to - from >= kLanes) {
        // 4 * remaining must not overflow for a huge line count.
        const std::int64_t ahead = std::min<std::int64_t>(remaining, std::int64_t{1} << 40);
        const std::int64_t blocks = std::min<std::int64_t>({255, 4 * ahead / kLanes, (to - from) / kLanes});
        __m128i counts = _mm_setzero_si128();
        for (std::int64_t k = 0; k < blocks; ++k) {
            const __m128i found = simd::Equal(from + kLanes * k, lf);  // -1 per LF
            counts = _mm_sub_epi8(counts, found);
        }
        const std::int64_t found = simd::SumLanes(counts);
        if (found >= remaining) break;
        remaining -= found;
        from += kLanes * blocks;
    }
    while (to - from >= 32) {
        std::uint32_t found = simd::Mask32(from, lf);
        if (found != 0) {
            const int count = simd::CountBits(found);
            if (count < remaining) {
                remaining -= count;
            } else {
                for (std::int64_t skip = remaining - 1; skip > 0; --skip) found &= found - 1;
                return from + std::countr_zero(found);
            }
        }
        from += 32;
    }
#endif
    for (; from != to; ++from) {
        if (*from == '\n' && --remaining == 0) return from;
    }
    return to;
}

}  // namespace partwright
