#pragma once

#include <functional>

#include "engine/files/file_identity.h"
#include "partwright/failure.h"
#include "partwright/run_interface.h"

namespace partwright {

// What the steps of one run share with each other and with the sink that
// names and writes its pieces.
struct RunContext {
    const SplitSettings& settings;
    RunHost& host;
    const RunOptions& options;
    const FileIdentitySet& sources;
    RunReport& report;
    Progress& progress;
    LineEnd lineEnd;  // of the current source ("auto" resolved)
    // Settles the pieces still being written, so that what is reported next
    // comes after them.
    std::function<void()> settle;

    void Fail(const Failure& failure) {
        if (settle) settle();
        Report(failure);
    }
    // Reports a failure as it is, in whatever order it comes.
    void Report(const Failure& failure) {
        host.ReportFailure(failure);
        report.failures.push_back(failure);
    }
};

}  // namespace partwright
