#include "engine/read/byte_coding.h"

#include <cstring>

#include "partwright/code_points.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif

namespace partwright {

ByteUtf8Forms Utf8FormsOf(const ByteTable& table) {
    ByteUtf8Forms forms;
    for (std::size_t b = 0; b < table.size(); ++b) {
        char* const start = forms.bytes[b].data();
        forms.length[b] = static_cast<std::uint8_t>(WriteUtf8(table[b], start) - start);
    }
    return forms;
}

char* EncodeBytesUtf8(std::string_view bytes, const ByteUtf8Forms& forms, char* p) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = in + bytes.size();
    while (in != end) {
        // Runs of ASCII copied sixteen bytes at a time; text is mostly ASCII.
#ifdef PARTWRIGHT_SSE2
        while (end - in >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
            if (_mm_movemask_epi8(v) != 0) {
                break;
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
            p += 16;
            in += 16;
        }
#endif
        // Then byte by byte up to a step boundary.
        const unsigned char* const stop = end - in > 16 ? in + 16 : end;
        for (; in != stop; ++in) {
            if (*in < 0x80) {
                *p++ = static_cast<char>(*in);
            } else {
                std::memcpy(p, forms.bytes[*in].data(), 3);
                p += forms.length[*in];
            }
        }
    }
    return p;
}

}  // namespace partwright
