#include "ui/input_checks.h"

#include "partwright/messages.h"
#include "partwright/numeric.h"

#include <QObject>

#include <algorithm>

namespace partwright {

bool HasRefusedFileNameChar(const QString& text) {
    return std::any_of(std::begin(kRefusedFileNameChars), std::end(kRefusedFileNameChars),
                       [&text](char16_t refused) { return text.contains(QChar(refused)); });
}

bool PassesNumericTest(const QString& text) { return IsNumeric(text.toStdU16String()); }

QString FieldProblemText(const FieldProblem& problem) {
    if (problem.field == OptionField::LinesPerPiece && problem.notANumber)
        return QString::fromUtf8(messages::kLinesNotNumber);
    QString name = QString::fromUtf8(FieldName(problem.field));
    name[0] = name[0].toUpper();
    const QString typed = QString::fromStdU16String(problem.typed);
    if (problem.field == OptionField::Prefix) {
        return QObject::tr("%1: \"%2\" cannot begin a file name: %3.")
            .arg(name, typed, QString::fromUtf8(problem.reason.c_str()));
    }
    if (problem.notANumber) return QObject::tr("%1: \"%2\" is not a number.").arg(name, typed);
    return QObject::tr("%1: \"%2\" is not %3.").arg(name, typed, QString::fromUtf8(FieldAccepts(problem.field)));
}

}  // namespace partwright
