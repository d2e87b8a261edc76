#pragma once

#include <filesystem>

#include "partwright/run_interface.h"

namespace partwright {

// The path a source's pieces are named from, as if it lay in the folder they
// go to: the source itself (in RunOptions::outputFolder when given); a gzip
// archive by the name of the text it holds (log.txt.gz as log.txt); standard
// input by SourceReading::stdinName, in the output folder or the current one.
[[nodiscard]] std::filesystem::path NameSourceOf(const std::filesystem::path& source, const RunOptions& options);

}  // namespace partwright
