#include "engine/utf8.h"

#include <cstdint>
#include <cstring>

#include "engine/utf8_raw.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PARTWRIGHT_SSE2 1
#endif

namespace partwright {

namespace {

// Writes the bytes of one code unit at `p` and returns the position after them.
inline char* EncodeUnit(char16_t unit, char* p) {
    const unsigned v = unit;
    if (v < 0x80) {
        *p++ = static_cast<char>(v);
    } else if (v < 0x800) {
        *p++ = static_cast<char>(0xC0 | (v >> 6));
        *p++ = static_cast<char>(0x80 | (v & 0x3F));
    } else {
        *p++ = static_cast<char>(0xE0 | (v >> 12));
        *p++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (v & 0x3F));
    }
    return p;
}

// Exact byte count: a branch-free pass the compiler vectorises.
std::size_t EncodedLength(TextView text) {
    std::size_t bytes = text.size();
    for (const char16_t unit : text) {
        bytes += static_cast<std::size_t>(unit >= 0x80) + static_cast<std::size_t>(unit >= 0x800);
    }
    return bytes;
}

}  // namespace

char* EncodeUtf8(TextView text, char* p) {
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
            p = EncodeUnit(*in++, p);
        }
    }
    return p;
}

bool IsAscii(std::string_view bytes) {
    const char* in = bytes.data();
    const char* const end = in + bytes.size();
#ifdef PARTWRIGHT_SSE2
    for (; end - in >= 64; in += 64) {
        const auto* block = reinterpret_cast<const __m128i*>(in);
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(block), _mm_loadu_si128(block + 1)),
                                         _mm_or_si128(_mm_loadu_si128(block + 2), _mm_loadu_si128(block + 3)));
        if (_mm_movemask_epi8(any) != 0) {
            return false;
        }
    }
#endif
    for (; in != end; ++in) {
        if (static_cast<unsigned char>(*in) >= 0x80) {
            return false;
        }
    }
    return true;
}

ByteUtf8Forms Utf8FormsOf(const ByteTable& table) {
    ByteUtf8Forms forms;
    for (std::size_t b = 0; b < table.size(); ++b) {
        char* const start = forms.bytes[b].data();
        forms.length[b] = static_cast<std::uint8_t>(EncodeUnit(table[b], start) - start);
    }
    return forms;
}

ByteUtf8Forms VerbatimForms() {
    ByteUtf8Forms forms;
    for (std::size_t b = 0; b < forms.bytes.size(); ++b) {
        forms.bytes[b][0] = static_cast<char>(b);
        forms.length[b] = 1;
    }
    forms.verbatim = true;
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

void ToUTF8(char16_t unit, std::string& out) {
    char bytes[3];
    const char* end = EncodeUnit(unit, bytes);
    out.append(bytes, static_cast<std::size_t>(end - bytes));
}

void AppendUtf8(TextView text, std::string& out) {
    const std::size_t length = EncodedLength(text);
    if (length == 0) {
        return;
    }
    const std::size_t start = out.size();
    // Sized exactly: room for the worst case would cost more to zero than counting does.
    out.resize(start + length);
    (void)EncodeUtf8(text, out.data() + start);
}

std::string CUni(TextView text) {
    std::string bytes;
    AppendUtf8(text, bytes);
    return bytes;
}

void AppendCodePoint(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace partwright
