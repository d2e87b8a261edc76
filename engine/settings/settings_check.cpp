#include "partwright/settings_check.h"

#include <utility>

#include "engine/name/name_template.h"
#include "engine/name/naming.h"
#include "partwright/numeric.h"

namespace partwright {

std::optional<FieldProblem> CheckSettings(const SplitSettings& settings) {
    const auto numberProblem = [](OptionField field, Text typed) {
        const bool notANumber = !IsNumeric(typed);
        return FieldProblem{field, std::move(typed), notANumber, {}};
    };
    if (settings.Split() == SplitMode::Lines) {
        auto lines = settings.LinesPerPiece();
        if (!lines.value) return numberProblem(OptionField::LinesPerPiece, std::move(lines.text));
    }
    const NamingMode naming = settings.Naming();
    if (naming == NamingMode::FirstChars) {
        auto length = settings.NameLength();
        if (!length.value) return numberProblem(OptionField::NameLength, std::move(length.text));
    } else if (naming == NamingMode::Prefix) {
        Text prefix = settings.Prefix();
        if (const char* problem = PrefixProblem(prefix)) {
            return FieldProblem{OptionField::Prefix, std::move(prefix), false, problem};
        }
        auto first = settings.FirstNumber();
        if (!first.value) return numberProblem(OptionField::FirstNumber, std::move(first.text));
    } else if (naming == NamingMode::Template) {
        Text text = settings.NameTemplate();
        std::string problem;
        if (!NameTemplate::Parse(text, problem)) {
            return FieldProblem{OptionField::NameTemplate, std::move(text), false, std::move(problem)};
        }
    }
    return std::nullopt;
}

const char* FileNameProblem(TextView name) {
    if (name.empty()) return "it is empty";
    if (const char* problem = PrefixProblem(name)) return problem;
    if (IsDeviceName(name)) return "it is a name Windows keeps for a device (CON, NUL, COM1...)";
    return nullptr;
}

const char* FieldName(OptionField field) {
    switch (field) {
    case OptionField::LinesPerPiece: return "lines per piece";
    case OptionField::NameLength: return "name length in characters";
    case OptionField::Prefix: return "name prefix";
    case OptionField::FirstNumber: return "first counting number";
    case OptionField::NameTemplate: return "name template";
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
    case OptionField::NameTemplate:
        return "text with {name} {ext} {n} {n:000} {first:X} or {value} that makes a file name: no / \\ : * ? \" "
               "< > |, no control character, and never an empty name or one Windows keeps for a device";
    }
    return "";
}

}  // namespace partwright
