// The end-to-end tests trust RunProcess to hand every argument over intact;
// this checks the quoting against Windows' own command-line parser.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tests/windows/win_files.h"
#include "tests/windows/win_process.h"

namespace partwright::wintest {
namespace {

std::vector<std::wstring> ParsedByWindows(const std::wstring& commandLine) {
    int count = 0;
    wchar_t** parsed = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> arguments(parsed, parsed + count);
    LocalFree(parsed);
    return arguments;
}

TEST(QuoteArgument, windowsParsesEveryArgumentBackUnchanged) {
    const std::vector<std::wstring> arguments = {
        L"plain",
        L"",
        L"two words",
        L"tab\there",
        L"say \"hi\"",
        L"\"",
        L"trailing\\",
        L"C:\\dir with space\\",
        L"a\\\\\"b",
        L"--separator=--",
        L"Zürich-東京",
        L"😀",
        L"\\\\server\\share\\x.txt",
    };
    const std::vector<std::wstring> parsed = ParsedByWindows(BuildCommandLine(L"C:\\prog.exe", arguments));

    ASSERT_EQ(parsed.size(), arguments.size() + 1);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        EXPECT_EQ(Utf8(parsed[i + 1]), Utf8(arguments[i])) << "argument " << i;
    }
}

}  // namespace
}  // namespace partwright::wintest
