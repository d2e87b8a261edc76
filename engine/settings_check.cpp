#include "partwright/settings_check.h"

#include "engine/naming.h"
#include "partwright/numeric.h"

namespace partwright {

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

std::optional<std::int16_t> FirstNumberValue(TextView typed) { return ToInt16(typed); }

std::optional<FieldProblem> CheckSettings(const SplitSettings& settings) {
    const auto numberProblem = [](OptionField field, Text typed) {
        const bool notANumber = !IsNumeric(typed);
        return FieldProblem{field, std::move(typed), notANumber, {}};
    };
    if (settings.LinesSelected() && !settings.MaxBytesSelected()) {
        Text lines = settings.LinesPerPiece();
        if (!LinesPerPieceValue(lines)) return numberProblem(OptionField::LinesPerPiece, std::move(lines));
    }
    if (settings.FirstCharsSelected()) {
        Text length = settings.NameLength();
        if (!NameLengthValue(length)) return numberProblem(OptionField::NameLength, std::move(length));
    } else if (!settings.NumberedSelected() && settings.PrefixSelected()) {
        Text prefix = settings.Prefix();
        if (const char* problem = PrefixProblem(prefix)) {
            return FieldProblem{OptionField::Prefix, std::move(prefix), false, problem};
        }
        Text first = settings.FirstNumber();
        if (!FirstNumberValue(first)) return numberProblem(OptionField::FirstNumber, std::move(first));
    }
    return std::nullopt;
}

const char* FieldName(OptionField field) {
    switch (field) {
    case OptionField::LinesPerPiece: return "lines per piece";
    case OptionField::NameLength: return "name length in characters";
    case OptionField::Prefix: return "name prefix";
    case OptionField::FirstNumber: return "first counting number";
    }
    return "";
}

const char* FieldAccepts(OptionField field) {
    switch (field) {
    case OptionField::LinesPerPiece: return "a whole number of at least 1";
    case OptionField::NameLength: return "a whole number from 0 to 2147483647";
    case OptionField::Prefix:
        return "text that can begin a file name: no / \\ : * ? \" < > |, no control character, "
               "not . or .., and no name Windows keeps for a device (CON, NUL, COM1...)";
    case OptionField::FirstNumber: return "a whole number from -32768 to 32767";
    }
    return "";
}

}  // namespace partwright
