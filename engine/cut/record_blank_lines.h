#pragma once

#include <memory>

#include "engine/cut/cutter.h"
#include "partwright/line_end.h"

namespace partwright {

// PieceCutter::BlankLines on CSV records: a blank line inside a quoted field
// stays in its record.
[[nodiscard]] std::unique_ptr<PieceCutter> RecordBlankLines(LineEnd lineEnd, bool keepLineEnds, char delimiter);

}  // namespace partwright
