#pragma once

#include <string_view>

#include "partwright/text.h"

namespace partwright {

// Whether a character may stand in a piece's name that a value gives: ASCII
// letters and digits, "-" and "_", and the letters, marks and decimal digits
// of every other script ("Zürich", "東京", "हिन्दी" stay whole).
[[nodiscard]] bool IsValueNameChar(char32_t c);

// What a value (UTF-8) gives a piece's name: its characters that
// IsValueNameChar keeps, at most 100 bytes of them in UTF-8, in whole
// characters; empty when it keeps none. Bytes that are no UTF-8 are left out.
[[nodiscard]] Text ValueNamePart(std::string_view value);

}  // namespace partwright
