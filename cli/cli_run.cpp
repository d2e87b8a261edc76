#include "cli/cli_run.h"

#include <atomic>
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

// Set by a signal handler and read at the run's yields, on its own thread.
std::atomic<int> stopRequested{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

// Every signal whose default action ends the program asks the run to stop at
// its next yield point, so the piece being written is dropped rather than
// left cut short (or, without unnamed files, left as a temporary file). A
// second one ends the program at once, removing a named temporary file first.
void RequestStop(int signal) {
    if (stopRequested.exchange(1) == 0) return;
    RemovePiecesInProgress();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

#ifndef _WIN32
// A fault of the program itself: nothing can go on, but no temporary file stays behind.
void EndAfterFault(int signal) {
    RemovePiecesInProgress();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}
#endif

void HandleSignals() {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
#ifndef _WIN32
    for (const int stop : {SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,
#ifdef SIGPWR
                           SIGPWR,
#endif
#ifdef SIGSTKFLT
                           SIGSTKFLT,
#endif
                           SIGHUP}) {
        std::signal(stop, RequestStop);
    }
#ifdef SIGRTMIN
    for (int realTime = SIGRTMIN; realTime <= SIGRTMAX; ++realTime) std::signal(realTime, RequestStop);
#endif
    for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS, SIGTRAP})
        std::signal(fault, EndAfterFault);
    // A closed pipe on standard output fails the write instead of ending the
    // program: the run goes on and the failure is reported at the end.
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write fails with "File too large" instead of
    // the signal ending the program: the piece is reported and the run goes on.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

}  // namespace

int RunCommandLine(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress) {
    const PathList sources(options.files);
    stopRequested.store(0);
    HandleSignals();
    ConsoleHost host(out, err, options.quiet, showProgress, &stopRequested);
    host.SetVerbose(options.verbose);
    const RunReport report = SplitRun(sources, options.settings, host, options.run);
    return host.Finish(report);
}

}  // namespace partwright
