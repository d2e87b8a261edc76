#pragma once

#include "engine/text.h"

namespace partwright {

// Encodes `text` as AppendUtf8 does, into `out`, which must have room for
// 3 * text.size() bytes; returns the position after the last byte written.
// For callers that keep their own buffer and must not pay for resizing it.
[[nodiscard]] char* EncodeUtf8(TextView text, char* out);

}  // namespace partwright
