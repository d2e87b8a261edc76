#pragma once

#include "partwright/run_interface.h"

namespace partwright {

// Splits every source of `sources`, in order, into pieces written as UTF-8
// beside their source (or into options.outputFolder), named by the selected naming mode.
[[nodiscard]] RunReport SplitRun(const SourceList& sources, const SplitSettings& settings, RunHost& host,
                                 const RunOptions& options = {});

}  // namespace partwright
