#include "partwright/setting_fields.h"

#include <utility>

#include "partwright/numeric.h"

namespace partwright {

namespace {

std::optional<std::int64_t> LinesPerPieceValue(TextView typed) {
    const std::optional<double> n = ParseNumber(typed);
    if (!n) return std::nullopt;
    const double whole = RoundHalfEven(*n);
    if (whole < 1.0) return std::nullopt;
    constexpr double kMost = 9.0e18;  // more lines than any block can hold
    return whole > kMost ? static_cast<std::int64_t>(kMost) : static_cast<std::int64_t>(whole);
}

std::optional<std::int32_t> NameLengthValue(TextView typed) {
    const std::optional<std::int32_t> length = ToInt32(typed);
    if (!length || *length < 0) return std::nullopt;
    return length;
}

}  // namespace

TypedField<std::int64_t> ReadLinesPerPiece(Text typed) {
    std::optional<std::int64_t> value = LinesPerPieceValue(typed);
    return {std::move(typed), value};
}

TypedField<std::int32_t> ReadNameLength(Text typed) {
    std::optional<std::int32_t> value = NameLengthValue(typed);
    return {std::move(typed), value};
}

TypedField<std::int16_t> ReadFirstNumber(Text typed) {
    std::optional<std::int16_t> value = ToInt16(typed);
    return {std::move(typed), value};
}

}  // namespace partwright
