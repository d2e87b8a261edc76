#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "partwright/text.h"

namespace partwright {

// Code points, surrogate pairs and the UTF-8 of code points, for text that
// is not a piece: paths, arguments, what the console shows, numbers handed
// to the C library, and the text the engine cuts (see engine/read/text_form.h).

[[nodiscard]] constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
[[nodiscard]] constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
[[nodiscard]] constexpr bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The code point of a high and a low surrogate.
[[nodiscard]] constexpr char32_t JoinSurrogates(char16_t high, char16_t low) {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}

// The code point at text[at], `at` moved past it: a surrogate pair gives its
// character; a lone half gives its own value.
[[nodiscard]] constexpr char32_t NextCodePoint(TextView text, std::size_t& at) {
    const char16_t unit = text[at++];
    if (IsHighSurrogate(unit) && at < text.size() && IsLowSurrogate(text[at])) return JoinSurrogates(unit, text[at++]);
    return unit;
}

// Writes the UTF-16 of `codePoint` (one unit, or a surrogate pair above
// U+FFFF) at `out` and returns the position after it.
constexpr char16_t* WriteUtf16(char32_t codePoint, char16_t* out) {
    if (codePoint < 0x10000) {
        *out++ = static_cast<char16_t>(codePoint);
    } else {
        *out++ = static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    }
    return out;
}

// Writes the UTF-8 of `codePoint` (1 to 4 bytes) at `out` and returns the
// position after it. The value of a lone surrogate gets the three-byte form
// it would have (generalised UTF-8), so that no code unit is lost.
//   WriteUtf8(0x20AC, out) writes E2 82 AC
constexpr char* WriteUtf8(char32_t codePoint, char* out) {
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

// Appends the UTF-8 of `codePoint`, as WriteUtf8 writes it.
void AppendUtf8(char32_t codePoint, std::string& out);

// The code point of a sequence of `length` (1 to 4) bytes at `p` that is
// known to be well formed.
[[nodiscard]] constexpr char32_t CodePointOfSequence(const unsigned char* p, std::size_t length) {
    switch (length) {
    case 1: return p[0];
    case 2: return ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    case 3: return ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    default: return ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    }
}

// The generalised UTF-8 sequence at the front of `bytes` (the three-byte
// form of a lone surrogate counts): its length, its code point in
// `codePoint`; 0 when the bytes there are no such sequence (a stray
// continuation byte, a cut sequence, an overlong form, a value above U+10FFFF).
//   ReadUtf8("\xE2\x82\xACx", c) == 3, c == 0x20AC
[[nodiscard]] std::size_t ReadUtf8(std::string_view bytes, char32_t& codePoint);

}  // namespace partwright
