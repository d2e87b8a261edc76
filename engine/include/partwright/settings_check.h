#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "partwright/run_interface.h"
#include "partwright/text.h"

namespace partwright {

// The fields of a run's options that hold a value to check.
enum class OptionField { LinesPerPiece, NameLength, Prefix, FirstNumber };

// The values the run uses, each from the text as typed. The run reads them
// through these at its reading points, and the front ends check them through
// CheckSettings before a run, so both accept and refuse the same texts.
// Lines per piece: a number that rounds (half to even) to a whole number of at least 1.
[[nodiscard]] std::optional<std::int64_t> LinesPerPieceValue(TextView typed);
// Name length: a number that rounds to a whole number from 0 to 2147483647.
[[nodiscard]] std::optional<std::int32_t> NameLengthValue(TextView typed);
// First counting number: a number that rounds to a whole number from -32768 to 32767.
[[nodiscard]] std::optional<std::int16_t> FirstNumberValue(TextView typed);

// A field whose text the run cannot use.
struct FieldProblem {
    OptionField field;
    Text typed;               // the text as typed
    bool notANumber = false;  // a number field whose text is no number at all
    std::string reason;       // for the prefix: what is wrong with it
};

// Checks, in the order lines per piece, name length, prefix, first number,
// the fields that the selected split and naming options use; the separator
// may be anything. Nothing when the run can use every one of them.
[[nodiscard]] std::optional<FieldProblem> CheckSettings(const SplitSettings& settings);

// "lines per piece" and the like.
[[nodiscard]] const char* FieldName(OptionField field);
// What the field accepts: "a whole number of at least 1" and the like.
[[nodiscard]] const char* FieldAccepts(OptionField field);

}  // namespace partwright
