#pragma once

#include <QString>

#include "partwright/settings_check.h"

namespace partwright {

// The characters a file name may not hold, in the order they are tested.
inline constexpr char16_t kRefusedFileNameChars[] = {u'/', u'\\', u':', u'*', u'?', u'"', u'<', u'>', u'|'};

// True when `text` holds any refused file-name character (checked on leaving the name-length field).
[[nodiscard]] bool HasRefusedFileNameChar(const QString& text);

// The numeric test of the engine, for a field's text (checked on leaving the first-number field).
[[nodiscard]] bool PassesNumericTest(const QString& text);

// The box for a field the run cannot use (the engine's CheckSettings, made
// before a run starts): lines per piece that are no number at all keep the
// lines notice; anything else names the field, the text and what it accepts.
//   "Lines per piece: \"0\" is not a whole number of at least 1."
[[nodiscard]] QString FieldProblemText(const FieldProblem& problem);

// Whether `text` is one the run can use in `field`: only such a text is kept
// for the next start, so a mistake made in one session never comes back.
[[nodiscard]] bool IsUsableFieldText(OptionField field, const QString& text);

// The size of the size option: a whole number of bytes such as 4096, 512K or 1M.
[[nodiscard]] bool IsUsablePieceSize(const QString& text);
[[nodiscard]] QString PieceSizeProblemText(const QString& text);

// The one box for a field left holding a mistake: the check's own notice
// ("Invalid filename", "Non numeric entry.") above the sentence that names
// the field and says what it accepts.
[[nodiscard]] QString LeftFieldText(const char* notice, const FieldProblem& problem);

}  // namespace partwright
