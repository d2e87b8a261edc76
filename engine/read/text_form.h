#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "partwright/text.h"

namespace partwright {

// The one form text takes between the reader and the writer: UTF-8, in which
// a UTF-16 surrogate pair is its character's one four-byte sequence and a lone
// surrogate half keeps the three-byte form of its value, so that no code unit
// is lost. Rules that count characters count UTF-16 code units, so a
// four-byte sequence counts as two.

// The UTF-16 code units the sequence led by `lead` stands for: 2 for a
// four-byte sequence, 0 for a continuation byte, 1 for any other.
[[nodiscard]] constexpr std::size_t UnitsLedBy(unsigned char lead) {
    return (lead & 0xC0) == 0x80 ? 0 : 1u + (lead >= 0xF0);
}

// The code units `bytes` of whole sequences stand for.
[[nodiscard]] std::size_t UnitCount(std::string_view bytes);

// Encodes `text` into `out`, which must have room for 3 * text.size()
// bytes; returns the position after the last byte written. A high surrogate
// that ends `text` is written on its own: a caller that streams holds it back.
[[nodiscard]] char* EncodeUtf8(TextView text, char* out);

// Appends the bytes of `text`.
void AppendUtf8(TextView text, std::string& out);

// The bytes of `text`.
//   ToUtf8(u"a\xD83D\xDE00") == "a\xF0\x9F\x98\x80"
[[nodiscard]] std::string ToUtf8(TextView text);

// Reads the code units of bytes of this form, up to `maxUnits` units (a
// four-byte sequence is taken whole, even when only its first unit is
// wanted); appends them to `out` and returns the number of bytes they took.
// The bytes must be well formed (as EncodeUtf8 writes them).
std::size_t DecodeUtf8(std::string_view bytes, std::size_t maxUnits, Text& out);

}  // namespace partwright
