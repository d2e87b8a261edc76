#include "tests/windows/win_process.h"

#include <windows.h>

#include <stdexcept>
#include <thread>

#include "tests/windows/win_files.h"

namespace partwright::wintest {

namespace {

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    handle = nullptr;
}

// Both pipes are drained while the child runs, so a child that fills one of
// them never blocks waiting for the test.
void Drain(HANDLE pipe, std::string& into) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        into.append(buffer, got);
    }
}

}  // namespace

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    // Backslashes count only in front of a quote: there they are doubled,
    // and the quote gets one more to stand for itself.
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring BuildCommandLine(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring line = QuoteArgument(program);
    for (const std::wstring& argument : arguments) {
        line += L' ';
        line += QuoteArgument(argument);
    }
    return line;
}

ProcessResult RunProcess(const std::wstring& program, const std::vector<std::wstring>& arguments,
                         const std::wstring& workingFolder, unsigned long timeoutMs) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0) || !CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
        throw std::runtime_error("CreatePipe failed: Windows error " + std::to_string(GetLastError()));
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;

    std::wstring commandLine = BuildCommandLine(program, arguments);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup,
                                        &process);
    const DWORD startError = GetLastError();
    // The child holds its own copies; ours must go, or the pipes never end.
    CloseIfOpen(outWrite);
    CloseIfOpen(errWrite);
    CloseIfOpen(nul);
    if (!started) {
        CloseIfOpen(outRead);
        CloseIfOpen(errRead);
        throw std::runtime_error("cannot start " + Utf8(program) + ": Windows error " + std::to_string(startError));
    }

    ProcessResult result;
    std::thread outReader(Drain, outRead, std::ref(result.out));
    std::thread errReader(Drain, errRead, std::ref(result.err));
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 259);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    outReader.join();
    errReader.join();
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = code;
    CloseIfOpen(process.hProcess);
    CloseIfOpen(process.hThread);
    CloseIfOpen(outRead);
    CloseIfOpen(errRead);
    return result;
}

}  // namespace partwright::wintest
