#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "partwright/split_run.h"

namespace partwright {

inline constexpr int kExitOk = 0;             // every piece was written
inline constexpr int kExitFailed = 1;         // something failed; each failure went to stderr
inline constexpr int kExitUsage = 2;          // the command line was refused; nothing was touched
inline constexpr int kExitInterrupted = 130;  // stopped by Ctrl+C, SIGTERM or another ending signal (128 + SIGINT)

// What the command line asks for, once it has been checked.
struct CliOptions {
    FixedSettings settings;
    RunOptions run;
    bool quiet = false;
    bool verbose = false;  // print the path of every piece once it is written
    std::vector<std::filesystem::path> files;
};

// The result of reading the command line: either a run to carry out, or
// text to print and a status to exit with (help, version, usage error).
struct ParseOutcome {
    std::optional<CliOptions> options;
    int exitStatus = kExitOk;
    std::string out;  // for stdout: help or version
    std::string err;  // for stderr: what was wrong with the command line
};

// Reads the arguments (UTF-8, without the program name). Numbers are checked
// with the same numeric test the run applies, so a value refused here would
// have been refused for every block or piece later; refusing it up front
// keeps a bad command line from writing anything.
[[nodiscard]] ParseOutcome ParseCommandLine(const std::vector<std::string>& args);

}  // namespace partwright
