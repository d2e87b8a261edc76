#include "engine/read/text_form.h"

#include <cstdint>
#include <cstring>

#include "partwright/code_points.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif

namespace partwright {

std::size_t UnitCount(std::string_view bytes) {
    // Branch-free, so the compiler vectorises it.
    std::size_t units = 0;
    for (const char byte : bytes) units += UnitsLedBy(static_cast<unsigned char>(byte));
    return units;
}

char* EncodeUtf8(TextView text, char* p) {
    const char16_t* in = text.data();
    const char16_t* const end = in + text.size();
    while (in < end) {
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
        // Then unit by unit up to the next ASCII run, or a little past it;
        // a pair is written as its character, which may reach one unit further.
        const char16_t* const stop = end - in > 16 ? in + 16 : end;
        while (in < stop) {
            const char16_t unit = *in++;
            if (IsHighSurrogate(unit) && in != end && IsLowSurrogate(*in)) {
                p = WriteUtf8(JoinSurrogates(unit, *in++), p);
            } else {
                p = WriteUtf8(unit, p);
            }
        }
    }
    return p;
}

void AppendUtf8(TextView text, std::string& out) {
    if (text.empty()) return;
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* const last = EncodeUtf8(text, out.data() + start);
    out.resize(static_cast<std::size_t>(last - out.data()));
}

std::string ToUtf8(TextView text) {
    std::string bytes;
    AppendUtf8(text, bytes);
    return bytes;
}

std::size_t DecodeUtf8(std::string_view bytes, std::size_t maxUnits, Text& out) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = begin + bytes.size();
    const auto* p = begin;
    for (std::size_t units = 0; units < maxUnits && p != end;) {
        const std::size_t length = *p < 0x80 ? 1 : *p < 0xE0 ? 2 : *p < 0xF0 ? 3 : 4;
        char16_t pair[2];
        const char16_t* const pairEnd = WriteUtf16(CodePointOfSequence(p, length), pair);
        out.append(pair, static_cast<std::size_t>(pairEnd - pair));
        units += static_cast<std::size_t>(pairEnd - pair);
        p += length;
    }
    return static_cast<std::size_t>(p - begin);
}

}  // namespace partwright
