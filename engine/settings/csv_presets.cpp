#include "partwright/csv_presets.h"

namespace partwright {

void FitForExcel(RunOptions& options) {
    options.csv.records = true;
    options.headerLines = 1;
    options.maxLinesPerPiece = kExcelRows - 1;
    options.outputEncoding = OutputEncoding::Utf8Bom;
}

}  // namespace partwright
