#pragma once

#include <functional>
#include <stop_token>

#include "engine/files/file_identity.h"
#include "engine/run/run_seam.h"
#include "engine/run/undecided_codepage.h"
#include "engine/write/piece_encoding.h"
#include "partwright/failure.h"
#include "partwright/run_interface.h"

namespace partwright {

class ByColumnSink;

// What the steps of one run share with each other and with the sink that
// names and writes its pieces.
struct RunContext {
    const SplitSettings& settings;
    RunHost& host;
    const RunOptions& options;
    const RunSeam& seam;
    const FileIdentitySet& sources;
    RunReport& report;
    Progress& progress;
    LineEnd lineEnd;  // of the current source ("auto" resolved)
    // Turns the text into the bytes a piece file holds.
    PieceEncoder encoder;
    // Of the current source; the sink asks it before a piece is written.
    UndecidedCodepage codepage;
    // Settles the pieces still being written, so that what is reported next
    // comes after them.
    std::function<void()> finishPending;
    // The run's one way to stop: the host asks for it by returning false from
    // Yield, and the cutting, the sink and the writers read it. The report
    // says the run stopped when it ends.
    std::stop_source stop;
    // Blocks of the current source that a cut since undone showed the host
    // as giving no pieces: the cut again does not show them again.
    int noticesShown = 0;
    // With RunOptions::byColumn: where the records go, in place of the run's own sink.
    ByColumnSink* byColumn = nullptr;

    // A yield point: false once a stop is requested, by the host now or before.
    [[nodiscard]] bool Yield() {
        if (stop.stop_requested()) return false;
        if (!host.Yield()) stop.request_stop();
        return !stop.stop_requested();
    }

    void Fail(const Failure& failure) {
        if (finishPending) finishPending();
        Report(failure);
    }
    // Reports a failure as it is, in whatever order it comes.
    void Report(const Failure& failure) {
        host.ReportFailure(failure);
        report.failures.push_back(failure);
    }
};

}  // namespace partwright
