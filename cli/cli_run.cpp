#include "cli/cli_run.h"

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

}  // namespace

int RunCommandLine(const CliOptions& options, std::FILE* out, std::FILE* err, bool showProgress)
{
    const PathList sources(options.files);
    ConsoleHost host(out, err, options.quiet, showProgress);
    const RunReport report = SplitRun(sources, options.settings, host, options.run);
    return host.Finish(report);
}

}  // namespace partwright
