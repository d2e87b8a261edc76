#include "tests/windows/cli_runner.h"

#include <windows.h>

#include <stdexcept>

#include "tests/windows/win_files.h"

#ifndef PARTWRIGHT_CLI_RELATIVE
#error "PARTWRIGHT_CLI_RELATIVE must name partwright-cli.exe relative to the test program's folder"
#endif

namespace partwright::wintest {

namespace {

// Generous: Wine can take a few seconds to start a program when the machine is busy.
constexpr unsigned long kCliTimeoutMs = 60000;

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw std::runtime_error("GetModuleFileNameW failed");
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

}  // namespace

std::wstring CliPath() {
    static const std::wstring path = [] {
        const std::wstring joined = OwnFolder() + Wide(PARTWRIGHT_CLI_RELATIVE);
        std::wstring full(32768, L'\0');
        const DWORD length = GetFullPathNameW(joined.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0 || length >= full.size()) {
            throw std::runtime_error("cannot resolve " + Utf8(joined));
        }
        full.resize(length);
        return full;
    }();
    return path;
}

ProcessResult RunCli(const std::vector<std::wstring>& arguments, const std::wstring& workingFolder) {
    return RunProcess(CliPath(), arguments, workingFolder, kCliTimeoutMs);
}

std::vector<std::string> StdoutLines(const ProcessResult& run) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : run.out) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(line);
    }
    return lines;
}

std::string Describe(const ProcessResult& run) {
    return "exit status " + std::to_string(run.exitCode) + (run.timedOut ? " (timed out)" : "") + "\nstdout:\n" +
           run.out + "\nstderr:\n" + run.err;
}

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

}  // namespace partwright::wintest
