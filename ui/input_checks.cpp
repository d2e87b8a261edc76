#include "ui/input_checks.h"

#include "partwright/byte_size.h"
#include "partwright/messages.h"
#include "partwright/numeric.h"
#include "partwright/run_interface.h"
#include "partwright/setting_fields.h"

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
    if (problem.field == OptionField::NameTemplate) {
        return QObject::tr("%1: \"%2\" cannot name the pieces: %3.")
            .arg(name, typed, QString::fromUtf8(problem.reason.c_str()));
    }
    if (problem.notANumber) return QObject::tr("%1: \"%2\" is not a number.").arg(name, typed);
    return QObject::tr("%1: \"%2\" is not %3.").arg(name, typed, QString::fromUtf8(FieldAccepts(problem.field)));
}

bool IsUsableFieldText(OptionField field, const QString& text) {
    const Text typed = text.toStdU16String();
    switch (field) {
    case OptionField::LinesPerPiece: return ReadLinesPerPiece(typed).value.has_value();
    case OptionField::NameLength: return ReadNameLength(typed).value.has_value() && !HasRefusedFileNameChar(text);
    case OptionField::FirstNumber: return ReadFirstNumber(typed).value.has_value();
    case OptionField::Prefix: {
        FixedSettings settings;
        settings.naming = NamingMode::Prefix;
        settings.prefix = typed;
        return !CheckSettings(settings).has_value();
    }
    case OptionField::NameTemplate: {
        FixedSettings settings;
        settings.naming = NamingMode::Template;
        settings.nameTemplate = typed;
        return !CheckSettings(settings).has_value();
    }
    }
    return true;
}

bool IsUsablePieceSize(const QString& text) {
    const QString trimmed = text.trimmed();
    return !trimmed.isEmpty() && ParseByteSize(trimmed.toStdString()).has_value();
}

QString PieceSizeProblemText(const QString& text) {
    return QObject::tr("Piece size: \"%1\" is not a whole number of bytes such as 4096, 512K, 1M or 2G.").arg(text);
}

QString LeftFieldText(const char* notice, const FieldProblem& problem) {
    return QString::fromUtf8(notice) + QStringLiteral("\n\n") + FieldProblemText(problem);
}

}  // namespace partwright
