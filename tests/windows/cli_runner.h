#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/windows/win_process.h"

namespace partwright::wintest {

// Full path of the partwright-cli.exe built beside these tests.
[[nodiscard]] std::wstring CliPath();

// Runs partwright-cli.exe with `arguments` (passed through a UTF-16 command
// line, exactly as given), in `workingFolder` when one is named.
[[nodiscard]] ProcessResult RunCli(const std::vector<std::wstring>& arguments, const std::wstring& workingFolder = L"");

// The lines of stdout, without their line ends ("\r\n" or "\n"); never empty
// (an empty stdout gives one empty line).
[[nodiscard]] std::vector<std::string> StdoutLines(const ProcessResult& run);

// Exit status and output of a run, for failure messages.
[[nodiscard]] std::string Describe(const ProcessResult& run);

// UTF-16 code units as little-endian bytes, the form of a UTF-16 source file.
[[nodiscard]] std::string Utf16Le(std::u16string_view text);

}  // namespace partwright::wintest
