#pragma once

#include <QString>

namespace partwright {

// The characters a file name may not hold, in the order they are tested.
inline constexpr char16_t kRefusedFileNameChars[] = {u'/', u'\\', u':', u'*', u'?', u'"', u'<', u'>', u'|'};

// True when `text` holds any refused file-name character (checked on leaving the name-length field).
[[nodiscard]] bool HasRefusedFileNameChar(const QString& text);

// The numeric test of the engine, for a field's text (checked on leaving the first-number field).
[[nodiscard]] bool PassesNumericTest(const QString& text);

}  // namespace partwright
