#pragma once

#include <cstdio>

#include "cli/cli_options.h"

namespace partwright {

// Runs the split over the files of `options`, reporting on `out` and `err`.
// Returns the exit status: kExitOk when every piece was written, else kExitFailed.
[[nodiscard]] int RunCommandLine(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress);

}  // namespace partwright
