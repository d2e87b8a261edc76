#include "cli/cli_run.h"

#include <csignal>
#include <vector>

#include "cli/console_host.h"
#include "partwright/pieces_in_progress.h"

namespace partwright {

namespace {

class PathList final : public SourceList {
public:
    explicit PathList(const std::vector<std::filesystem::path>& paths) : paths_(paths) {}
    int Count() const override { return static_cast<int>(paths_.size()); }
    std::filesystem::path At(int position) const override { return paths_.at(static_cast<std::size_t>(position - 1)); }

private:
    const std::vector<std::filesystem::path>& paths_;
};

volatile std::sig_atomic_t stopRequested = 0;

// Ctrl+C, SIGTERM and SIGHUP ask the run to stop at its next yield point, so
// the piece being written is dropped rather than left cut short. A second
// one ends the program at once, removing a named temporary file first.
void RequestStop(int signal)
{
    if (stopRequested == 0) {
        stopRequested = 1;
        return;
    }
    RemovePiecesInProgress();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void HandleSignals()
{
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
#ifdef SIGHUP
    std::signal(SIGHUP, RequestStop);
#endif
#ifdef SIGXFSZ
    // Past a file-size limit a write fails with "File too large" instead of
    // the signal ending the program: the piece is reported and the run goes on.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace

int RunCommandLine(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress)
{
    const PathList sources(options.files);
    stopRequested = 0;
    HandleSignals();
    ConsoleHost host(out, err, options.quiet, showProgress, &stopRequested);
    host.SetVerbose(options.verbose);
    const RunReport report = SplitRun(sources, options.settings, host, options.run);
    return host.Finish(report);
}

}  // namespace partwright
