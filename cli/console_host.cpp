#include "cli/console_host.h"

#include <string>

#include "cli/arg_text.h"
#include "cli/cli_options.h"
#include "cli/console_text.h"
#include "partwright/messages.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace partwright {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(200);

void WriteLine(std::FILE* stream, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
}

}  // namespace

ConsoleHost::ConsoleHost(std::FILE* out, std::FILE* err, bool quiet, bool showProgress, const std::atomic<int>* stop)
    : out_(out), err_(err), quiet_(quiet), showProgress_(showProgress && !quiet), stop_(stop) {}

bool ConsoleHost::Yield() { return stop_ == nullptr || stop_->load() == 0; }

void ConsoleHost::ShowNotice(Notice notice, const std::filesystem::path& source) {
    switch (notice) {
    case Notice::LinesNotNumber:
        // The block gives no pieces, so the run did not write everything.
        ++problems_;
        ClearProgress();
        WriteLine(err_, "partwright-cli: " + ForTerminal(PathForConsole(source)) + ": " + messages::kLinesNotNumber);
        break;
    }
}

void ConsoleHost::ReportFailure(const Failure& failure) {
    ++problems_;
    ClearProgress();
    WriteLine(err_, "partwright-cli: " + ForTerminal(Describe(failure)));
    std::fflush(err_);
}

void ConsoleHost::ReportProgress(const Progress& progress) {
    if (!showProgress_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ < kProgressInterval) {
        return;
    }
    lastProgress_ = now;
    std::string line = "file " + std::to_string(progress.fileIndex) + " of " + std::to_string(progress.fileCount) +
                       ": " + std::to_string(progress.bytesRead >> 20) + " of " +
                       std::to_string(progress.sourceBytes >> 20) + " MiB read, " +
                       std::to_string(progress.piecesWritten) + " pieces written";
    const std::size_t width = line.size();
    if (width < progressWidth_) {
        line.append(progressWidth_ - width, ' ');
    }
    progressWidth_ = width;
    std::fputc('\r', err_);
    std::fwrite(line.data(), 1, line.size(), err_);
    std::fflush(err_);
}

void ConsoleHost::PlannedPiece(const std::filesystem::path& target) {
    WriteLine(out_, ForTerminal(PathForConsole(target)));
}

void ConsoleHost::PieceRenamed(const std::filesystem::path& wanted, const std::filesystem::path& given) {
    // Standard output keeps one path a line; the note goes beside it.
    if (verbose_) {
        ClearProgress();
        WriteLine(err_, "partwright-cli: " + ForTerminal(PathForConsole(given)) + ": " +
                            ForTerminal(PathForConsole(wanted.filename())) +
                            " was taken by an earlier piece of this run");
    }
}

void ConsoleHost::OlderPieceLeft(const std::filesystem::path& /*source*/, const std::filesystem::path& older) {
    if (verbose_) {
        ClearProgress();
        WriteLine(err_, "partwright-cli: " + ForTerminal(PathForConsole(older)) +
                            ": an older piece this run's pieces did not replace, left as it was");
    }
}

void ConsoleHost::FewerParts(const std::filesystem::path& source, std::uint64_t pieces) {
    if (quiet_) return;
    ClearProgress();
    WriteLine(out_, ForTerminal(PathForConsole(source)) + ": cut into " + std::to_string(pieces) +
                        (pieces == 1 ? " piece" : " pieces") +
                        ", fewer than asked: it has fewer lines, or lines longer than a share");
}

void ConsoleHost::PieceWritten(const std::filesystem::path& target) {
    if (verbose_) {
        ClearProgress();
        WriteLine(out_, ForTerminal(PathForConsole(target)));
    }
}

int ConsoleHost::Finish(const RunReport& report) {
    ClearProgress();
    if (report.stopped) {
        WriteLine(err_, report.pieceRemoved
                            ? "partwright-cli: stopped before the end; the piece being written was removed"
                            : "partwright-cli: stopped before the end");
        return kExitInterrupted;
    }
    if (!quiet_ && report.piecesRenamed > 0) {
        WriteLine(out_, std::to_string(report.piecesRenamed) +
                            (report.piecesRenamed == 1 ? " piece was" : " pieces were") +
                            " given the next free name, \"name (2).ext\" and on: an earlier piece of this run had "
                            "taken theirs.");
    }
    if (!quiet_ && report.olderPiecesLeft > 0) {
        // Said alike of a dry run: the older pieces are there either way.
        WriteLine(out_,
                  std::to_string(report.olderPiecesLeft) +
                      (report.olderPiecesLeft == 1 ? " older piece lies" : " older pieces lie") +
                      " among the new ones, under names of a source's naming that no new piece took, kept as they are" +
                      (verbose_ ? "." : " (--verbose names them)."));
    }
    if (!quiet_ && report.sourcesCapped > 0) {
        WriteLine(out_, std::to_string(report.sourcesCapped) + (report.sourcesCapped == 1 ? " source" : " sources") +
                            " stopped at --max-pieces; the rest of " + (report.sourcesCapped == 1 ? "it" : "each") +
                            " was not read.");
    }
    if (!quiet_) {
        WriteLine(out_, messages::kDone);
    }
    const bool everythingWritten = report.ok() && report.blocksNotCut == 0 && problems_ == 0;
    return everythingWritten ? kExitOk : kExitFailed;
}

void ConsoleHost::ClearProgress() {
    if (progressWidth_ == 0) {
        return;
    }
    std::fputc('\r', err_);
    std::fwrite(std::string(progressWidth_, ' ').data(), 1, progressWidth_, err_);
    std::fputc('\r', err_);
    progressWidth_ = 0;
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace partwright
