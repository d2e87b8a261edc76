#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "partwright/failure.h"
#include "partwright/run_interface.h"

namespace partwright {

// What one cut of a source added to the run's report and progress. A source
// that turns out not to be UTF-8 is cut again from its start, and everything
// its first cut counted goes back in one call: every counter of the report
// is kept, not each on its own, so one added later is not missed.
class SourceAttempt {
public:
    SourceAttempt(RunReport& report, Progress& progress)
        : report_(report),
          progress_(progress),
          failures_(report.failures.size()),
          piecesWritten_(progress.piecesWritten) {
        // The counters without the failures, which are only cut back to their count.
        std::vector<Failure> failures = std::move(report.failures);
        before_ = report;
        report.failures = std::move(failures);
    }

    // Takes back what the cut since the start added; returns how many of its
    // blocks gave no pieces (each shown to the host already).
    int Undo() {
        const int blocksNotCut = report_.blocksNotCut - before_.blocksNotCut;
        std::vector<Failure> failures = std::move(report_.failures);
        failures.resize(failures_);
        report_ = before_;
        report_.failures = std::move(failures);
        progress_.piecesWritten = piecesWritten_;
        return blocksNotCut;
    }

private:
    RunReport& report_;
    Progress& progress_;
    RunReport before_;
    std::size_t failures_;
    std::uint64_t piecesWritten_;
};

}  // namespace partwright
