#pragma once

#include <optional>
#include <string>

#include "partwright/run_interface.h"
#include "partwright/text.h"

namespace partwright {

// The fields of a run's options that hold a value to check.
enum class OptionField { LinesPerPiece, NameLength, Prefix, FirstNumber, NameTemplate };

// A field whose text the run cannot use.
struct FieldProblem {
    OptionField field;
    Text typed;               // the text as typed
    bool notANumber = false;  // a number field whose text is no number at all
    std::string reason;       // for the prefix and the name template: what is wrong with it
};

// Checks, in the order lines per piece, name length, prefix, first number,
// the fields that the selected split and naming options use; the separator
// may be anything. Nothing when the run can use every one of them.
[[nodiscard]] std::optional<FieldProblem> CheckSettings(const SplitSettings& settings);

// Why `name` cannot be the name of a file in a folder (empty, a folder
// separator, "." or "..", a character Windows refuses, a device name), or nullptr when it can.
[[nodiscard]] const char* FileNameProblem(TextView name);

// "lines per piece" and the like.
[[nodiscard]] const char* FieldName(OptionField field);
// What the field accepts: "a whole number of at least 1" and the like.
[[nodiscard]] const char* FieldAccepts(OptionField field);

}  // namespace partwright
