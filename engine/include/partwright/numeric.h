#pragma once

#include <cstdint>
#include <optional>

#include "partwright/text.h"

namespace partwright {

// The numeric test shared by the window, the run and the command line: the
// text passes when the C library's locale-aware number parsing (the decimal
// separator of the current LC_NUMERIC) reads all of it as one finite number.
// Blanks around the number, a sign, a fraction and an exponent are allowed;
// an empty text, hexadecimal, "inf" and "nan" fail.
//   ParseNumber(u" 12") == 12.0, ParseNumber(u"1E2") == 100.0, ParseNumber(u"7a") == nullopt
[[nodiscard]] std::optional<double> ParseNumber(TextView text);
[[nodiscard]] bool IsNumeric(TextView text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
[[nodiscard]] double RoundHalfEven(double value);

// The numeric test, then rounding half to even, then a range check.
[[nodiscard]] std::optional<std::int32_t> ToInt32(TextView text);
[[nodiscard]] std::optional<std::int16_t> ToInt16(TextView text);

}  // namespace partwright
