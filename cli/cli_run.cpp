#include "cli/cli_run.h"

#include <csignal>
#include <vector>

#include "cli/console_host.h"

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

// Ctrl+C asks the run to stop at its next yield point, so the piece being
// written is removed rather than left cut short. A second Ctrl+C ends the
// program at once (the handler put the default back).
void RequestStop(int signal)
{
    stopRequested = 1;
    std::signal(signal, SIG_DFL);
}

}  // namespace

int RunCommandLine(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress)
{
    const PathList sources(options.files);
    stopRequested = 0;
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    ConsoleHost host(out, err, options.quiet, showProgress, &stopRequested);
    host.SetVerbose(options.verbose);
    const RunReport report = SplitRun(sources, options.settings, host, options.run);
    return host.Finish(report);
}

}  // namespace partwright
