#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "partwright/split_run.h"

namespace partwright {

// The run's host on a console: failures and notices go to stderr as they
// happen, the targets of a dry run to stdout, one per line.
class ConsoleHost final : public RunHost {
public:
    // `showProgress`: keep one overwritten progress line on stderr (only
    // sensible when stderr is a terminal). `stop`: when it becomes non-zero
    // (set by a signal handler), the run stops at its next yield point.
    ConsoleHost(std::FILE* out, std::FILE* err, bool quiet, bool showProgress, const std::atomic<int>* stop = nullptr);

    // False once `stop` is set: that asks the run to stop.
    bool Yield() override;

    void ShowNotice(Notice notice, const std::filesystem::path& source) override;
    void ReportFailure(const Failure& failure) override;
    void ReportProgress(const Progress& progress) override;
    void PlannedPiece(const std::filesystem::path& target) override;
    void PieceWritten(const std::filesystem::path& target) override;
    // With --verbose, says on stderr which name was taken.
    void PieceRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given) override;
    // With --verbose, names on stderr each older piece a source left past its last.
    void OlderPieceLeft(const std::filesystem::path& source, const std::filesystem::path& older) override;
    void FewerParts(const std::filesystem::path& source, std::uint64_t pieces) override;

    // Print the path of every piece to stdout once it is written.
    void SetVerbose(bool verbose) { verbose_ = verbose; }

    // Ends the run on the console: "Done." on stdout (unless quiet), also
    // after failures, which are already on stderr; a stopped run is not done
    // and says so on stderr. Returns the exit status.
    [[nodiscard]] int Finish(const RunReport& report);

private:
    void ClearProgress();

    std::FILE* out_;
    std::FILE* err_;
    bool quiet_;
    bool showProgress_;
    bool verbose_ = false;
    const std::atomic<int>* stop_;
    int problems_ = 0;
    std::size_t progressWidth_ = 0;  // characters of the progress line now on screen
    std::chrono::steady_clock::time_point lastProgress_{};
};

// Whether stderr is an interactive terminal.
[[nodiscard]] bool StderrIsTerminal();

}  // namespace partwright
