#pragma once

#include <cstdint>

#include "partwright/run_interface.h"

namespace partwright {

// The rows of an Excel sheet, the header row included.
inline constexpr std::int64_t kExcelRows = 1048576;

// Pieces that Excel opens whole: CSV records, the first record a header in
// every piece, at most kExcelRows - 1 records besides it in a piece whatever
// the split mode says, UTF-8 with a byte-order mark (Excel reads UTF-8
// without one in the system's code page). The delimiter is left as it is.
//   RunOptions options; FitForExcel(options);
void FitForExcel(RunOptions& options);

}  // namespace partwright
