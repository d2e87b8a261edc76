#include "engine/read/cesu8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif

namespace partwright {

char* EncodeCesu8(TextView text, char* p) {
    const char16_t* in = text.data();
    const char16_t* const end = in + text.size();
    while (in != end) {
        // Runs of ASCII sixteen units at a time; text is mostly ASCII.
#ifdef PARTWRIGHT_SSE2
        const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (end - in >= 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
            const __m128i any = _mm_and_si128(_mm_or_si128(a, b), high);
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(any, _mm_setzero_si128())) != 0xFFFF) {
                break;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(a, b));
            p += 16;
            in += 16;
        }
#else
        while (end - in >= 4) {
            std::uint64_t four;
            std::memcpy(&four, in, sizeof four);
            if ((four & 0xFF80FF80FF80FF80ULL) != 0) {
                break;
            }
            for (int i = 0; i < 4; ++i) {
                p[i] = static_cast<char>(in[i]);
            }
            p += 4;
            in += 4;
        }
#endif
        // Then unit by unit up to the next ASCII unit, or to a step boundary.
        const char16_t* const stop = end - in > 16 ? in + 16 : end;
        while (in != stop) {
            p = WriteCesu8Unit(*in++, p);
        }
    }
    return p;
}

void AppendCesu8(TextView text, std::string& out) {
    // Exact byte count: a branch-free pass the compiler vectorises.
    std::size_t length = 0;
    for (const char16_t unit : text) length += Cesu8Length(unit);
    if (length == 0) {
        return;
    }
    const std::size_t start = out.size();
    // Sized exactly: room for the worst case would cost more to zero than counting does.
    out.resize(start + length);
    (void)EncodeCesu8(text, out.data() + start);
}

std::string ToCesu8(TextView text) {
    std::string bytes;
    AppendCesu8(text, bytes);
    return bytes;
}

std::size_t DecodeCesu8(std::string_view bytes, std::size_t maxUnits, Text& out) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = begin + bytes.size();
    const auto* p = begin;
    for (std::size_t units = 0; units < maxUnits && p != end; ++units) {
        const std::size_t length = *p < 0x80 ? 1 : *p < 0xE0 ? 2 : 3;
        out += static_cast<char16_t>(CodePointOfSequence(p, length));
        p += length;
    }
    return static_cast<std::size_t>(p - begin);
}

}  // namespace partwright
