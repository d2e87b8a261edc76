#pragma once

#include <cstdint>
#include <optional>

#include "partwright/text.h"

namespace partwright {

// A number option as a run uses it: the text as typed, which messages quote,
// and the value read from it, empty when the text gives no value the run can
// use. Both front ends build theirs through the Read functions below, so they
// accept and refuse the same texts.
template <class T>
struct TypedField {
    Text text;  // as typed
    std::optional<T> value;

    friend bool operator==(const TypedField&, const TypedField&) = default;
};

// Lines per piece: a number that rounds (half to even) to a whole number of at least 1.
// ReadLinesPerPiece(u"2.5").value == 2; ReadLinesPerPiece(u"0.4").value is empty.
[[nodiscard]] TypedField<std::int64_t> ReadLinesPerPiece(Text typed);
// Name length: a number that rounds to a whole number from 0 to 2147483647.
[[nodiscard]] TypedField<std::int32_t> ReadNameLength(Text typed);
// First counting number: a number that rounds to a whole number from -32768 to 32767.
[[nodiscard]] TypedField<std::int16_t> ReadFirstNumber(Text typed);

}  // namespace partwright
