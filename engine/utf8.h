#pragma once

#include <string>

#include "partwright/text.h"

namespace partwright {

// Encodes one UTF-16 code unit by itself as 1, 2 or 3 bytes appended to `out`.
// Surrogate halves are not paired: each becomes three bytes of its own.
//   ToUTF8(0x20AC, out) appends E2 82 AC
void ToUTF8(char16_t unit, std::string& out);

// Appends the encoding of every code unit of `text`, in order (fast path of CUni).
void AppendUtf8(TextView text, std::string& out);

// The bytes of `text`, code unit by code unit; a surrogate pair gives six bytes.
[[nodiscard]] std::string CUni(TextView text);

// Appends the standard UTF-8 form of one code point (1 to 4 bytes), for
// text that is not a piece: paths and arguments.
void AppendCodePoint(char32_t codePoint, std::string& out);

}  // namespace partwright
