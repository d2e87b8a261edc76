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

}  // namespace partwright
