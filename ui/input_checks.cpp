#include "ui/input_checks.h"

#include "partwright/numeric.h"

#include <algorithm>

namespace partwright {

bool HasRefusedFileNameChar(const QString& text) {
    return std::any_of(std::begin(kRefusedFileNameChars), std::end(kRefusedFileNameChars),
                       [&text](char16_t refused) { return text.contains(QChar(refused)); });
}

bool PassesNumericTest(const QString& text) { return IsNumeric(text.toStdU16String()); }

}  // namespace partwright
