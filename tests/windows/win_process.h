#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace partwright::wintest {

struct ProcessResult {
    unsigned long exitCode = 0;
    bool timedOut = false;  // the process was ended by the time limit
    std::string out;        // everything it wrote to stdout
    std::string err;        // everything it wrote to stderr
};

// One argument quoted so that the C runtime's argument parser (and
// CommandLineToArgvW) gives it back unchanged: spaces, quotes, trailing
// backslashes and the empty text included.
[[nodiscard]] std::wstring QuoteArgument(std::wstring_view argument);

// The program followed by its quoted arguments, as CreateProcessW takes them.
[[nodiscard]] std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments);

// Starts `program` with `arguments` in `workingFolder` (the caller's when
// empty), with stdin empty, and waits for it, collecting what it prints.
// Throws std::runtime_error when it cannot be started.
[[nodiscard]] ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                                       const std::wstring& workingFolder, unsigned long timeoutMs);

}  // namespace partwright::wintest
