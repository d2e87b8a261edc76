#pragma once

#include <cstddef>

#include "partwright/run_interface.h"

namespace partwright {

// Switches only tests set, kept out of the public RunOptions.
struct RunSeam {
    // How much a streamed source reads per step; 0 is the reader's own choice
    // (tests set a few bytes, to put chunk edges everywhere).
    std::size_t chunkBytes = 0;
    // What a cut by column holds back for all its values before it writes;
    // 0 is its own (tests set a few bytes, so that files are closed and
    // opened again all the time).
    std::size_t byColumnBufferBytes = 0;
};

// SplitRun (split_run.h), with the test-only switches of `seam`.
[[nodiscard]] RunReport SplitRun(const SourceList& sources, const SplitSettings& settings, RunHost& host,
                                 const RunOptions& options, const RunSeam& seam);

}  // namespace partwright
