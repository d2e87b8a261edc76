#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arg_text.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/console_host.h"
#include "cli/console_text.h"
#include "cli/standard_streams.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int Split(const std::vector<std::string>& args) {
    // The numeric test reads numbers the way the user's locale writes them.
    std::setlocale(LC_ALL, "");

    const partwright::ParseOutcome outcome = partwright::ParseCommandLine(args);
    if (!outcome.options) {
        std::fputs(outcome.out.c_str(), stdout);
        // A usage error may quote an argument, control characters and all.
        std::fputs(partwright::LinesForTerminal(outcome.err).c_str(), stderr);
        return outcome.exitStatus;
    }
    return partwright::RunCommandLine(*outcome.options, stdout, stderr, partwright::StderrIsTerminal());
}

// A list or message that never reached standard output is a failure of the run.
int Run(const std::vector<std::string>& args) {
    partwright::ReserveStandardDescriptors();
    return partwright::CloseStandardOutput(stdout, stderr, Split(args));
}

}  // namespace

#ifdef _WIN32
// Taking the arguments as UTF-16 keeps separators, prefixes and file names
// that the ANSI code page cannot hold.
int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring wide(argv[i]);
        args.push_back(partwright::ArgumentFromUtf16(partwright::Text(wide.begin(), wide.end())));
    }
    return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
