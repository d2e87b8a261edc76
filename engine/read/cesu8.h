#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "partwright/code_points.h"
#include "partwright/text.h"

namespace partwright {

// CESU-8, the form pieces are written in: every UTF-16 code unit on its own
// as the UTF-8 of its value, one to three bytes; a surrogate pair becomes two
// three-byte forms, and a lone surrogate survives. Text without surrogates
// is plain UTF-8.

// The bytes of one code unit.
[[nodiscard]] constexpr std::size_t Cesu8Length(char16_t unit) { return 1u + (unit >= 0x80) + (unit >= 0x800); }

// Writes the bytes of one code unit at `out` and returns the position after them.
//   WriteCesu8Unit(0xD83D, out) writes ED A0 BD
inline char* WriteCesu8Unit(char16_t unit, char* out) { return WriteUtf8(unit, out); }

// Encodes `text` into `out`, which must have room for 3 * text.size()
// bytes; returns the position after the last byte written. For callers that
// keep their own buffer and must not pay for resizing it.
[[nodiscard]] char* EncodeCesu8(TextView text, char* out);

// Appends the bytes of `text`.
void AppendCesu8(TextView text, std::string& out);

// The bytes of `text`.
//   ToCesu8(u"\xD83D\xDE00") == "\xED\xA0\xBD\xED\xB8\x80"
[[nodiscard]] std::string ToCesu8(TextView text);

// Reads the code units of CESU-8 bytes, up to `maxUnits` units; appends them
// to `out` and returns the number of bytes they took. The bytes must be
// well formed (as EncodeCesu8 writes them).
std::size_t DecodeCesu8(std::string_view bytes, std::size_t maxUnits, Text& out);

}  // namespace partwright
