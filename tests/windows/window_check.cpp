// Drives partwright.exe's window the way Windows itself sees it, on a real
// display (scripts/check-windows-window.sh runs this under Wine and Xvfb):
//   window_check.exe PARTWRIGHT_EXE
// 1. writes a source "Grüße ✓.txt" into a folder "Zürich-東京" under %TEMP%
//    and starts the window with that path as its one argument, on a UTF-16
//    command line, as Explorer does for a file dropped on the program's icon;
// 2. checks the window: caption, client size at start, a frame the user can
//    resize with minimize, maximize and close buttons, the icon and version resources of the .exe (and of a
//    partwright-cli.exe beside it), the hand pointer over a picture button, the arrow
//    elsewhere; prints "window LEFT TOP WIDTH HEIGHT" and waits for a line (or
//    the end) on stdin, so the caller can take a picture of it;
// 3. clicks "Split!", waits for the message box, checks the pieces beside the
//    source, closes the box and then the window as its close button does,
//    and checks that the program ends with status 0.
// Exit status 0 when every check holds, 1 otherwise (each failure printed).
#include "tests/windows/win_files.h"
#include "tests/windows/win_process.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <string>

namespace wt = partwright::wintest;

namespace {

constexpr wchar_t kCaption[] = L"Partwright";
constexpr LONG kClientWidth = 513;   // 7695 twips at 96 dpi
constexpr LONG kClientHeight = 517;  // 7450 twips, below the menu bar
constexpr LONG kMostMenuHeight = 40;
// Middles of two picture buttons and a spot on the bare background, in
// pixels of the designed area (below the menu bar).
constexpr POINT kAddFilesButton = {8 + 161 / 2, 136 + 81 / 2};
constexpr POINT kSplitButton = {344 + 161 / 2, 136 + 81 / 2};
constexpr POINT kBackground = {4, 131};
LONG menuHeight = 0;  // measured by CheckWindow

// A point of the designed area in client pixels.
POINT Below(POINT point) { return {point.x, point.y + menuHeight}; }

int failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "window_check: %s\n", what.c_str());
    ++failures;
}

// A visible top-level window of `process` captioned "Partwright": its main
// window when `owner` is null, otherwise a message box that `owner` owns.
HWND FindWindowOf(DWORD process, HWND owner, DWORD waitMs) {
    for (DWORD waited = 0;; waited += 250) {
        for (HWND window = FindWindowW(nullptr, kCaption); window;
             window = FindWindowExW(nullptr, window, nullptr, kCaption)) {
            DWORD windowProcess = 0;
            GetWindowThreadProcessId(window, &windowProcess);
            if (windowProcess == process && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == owner)
                return window;
        }
        if (waited >= waitMs) return nullptr;
        Sleep(250);
    }
}

void MoveTo(HWND window, POINT client) {
    ClientToScreen(window, &client);
    SetCursorPos(client.x, client.y);
}

// The pointer the system shows once the mouse has rested at `client` for a moment.
HCURSOR PointerAt(HWND window, POINT client) {
    MoveTo(window, client);
    Sleep(1500);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? info.hCursor : nullptr;
}

void Click(HWND window, POINT client) {
    MoveTo(window, client);
    Sleep(300);
    INPUT clicks[2] = {};
    clicks[0].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].type = INPUT_MOUSE;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

void CheckWindow(HWND window) {
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    if (std::wstring(caption) != kCaption) Fail("the caption is not \"Partwright\"");

    RECT client{};
    GetClientRect(window, &client);
    // The designed 513 x 517 lies below a menu bar of the window's own.
    menuHeight = client.bottom - kClientHeight;
    if (client.right != kClientWidth || menuHeight <= 0 || menuHeight > kMostMenuHeight)
        Fail("the client area is " + std::to_string(client.right) + " x " + std::to_string(client.bottom) +
             ", not 513 x 517 below a menu bar");

    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    if (!(style & WS_CAPTION)) Fail("the window has no title bar");
    if (!(style & WS_SYSMENU)) Fail("the title bar has no close button");
    if (!(style & WS_MINIMIZEBOX)) Fail("the title bar has no minimize button");
    if (!(style & WS_MAXIMIZEBOX)) Fail("the title bar has no maximize button");
    if (!(style & WS_THICKFRAME)) Fail("the frame does not let the user resize the window");

    // HAND-M.CUR beside the program is the pointer over the picture buttons,
    // and the default one comes back off them. (Cursor handles belong to the
    // program that loaded them, so they are compared with each other only.)
    const HCURSOR before = PointerAt(window, Below(kBackground));
    const HCURSOR overButton = PointerAt(window, Below(kAddFilesButton));
    const HCURSOR after = PointerAt(window, Below(kBackground));
    if (!before || before != after) Fail("the pointer over the background changed after a visit to a button");
    if (!overButton || overButton == before) Fail("the pointer over \"Add File(s)\" is not a pointer of its own");
}

// Explorer shows a program's first icon resource, and its properties the
// version resource: both must be there, with this build's version.
void CheckResources(const std::wstring& program) {
    const std::string name = wt::Utf8(program);
    if (ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0) == 0) Fail(name + " holds no icon");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    std::string info(size, '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (size == 0 || !GetFileVersionInfoW(program.c_str(), 0, size, info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed) {
        Fail(name + " holds no version information");
        return;
    }
    const std::string version = std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwProductVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwProductVersionLS));
    if (version != PARTWRIGHT_VERSION) Fail(name + " says version " + version + ", not " PARTWRIGHT_VERSION);
}

void CheckPieces(const std::wstring& folder) {
    const std::map<std::wstring, wt::Bytes> expected = {
        {L"Grüße ✓.txt", "1\r\n2\r\n3\r\n4\r\n"},
        // Every piece ends with its last line's line end: joined, they give the source back.
        {L"Grüße ✓-0001.txt", "1\r\n2\r\n3\r\n"},
        {L"Grüße ✓-0002.txt", "4\r\n"},
    };
    const std::map<std::wstring, wt::Bytes> found = wt::FolderContents(folder);
    if (found == expected) return;
    Fail("the pieces beside the source are not the expected two; found:");
    for (const auto& [name, bytes] : found)
        std::fprintf(stderr, "  %s (%zu bytes)\n", wt::Utf8(name).c_str(), bytes.size());
}

int Run(const std::wstring& program) {
    CheckResources(program);
    // Installed, the command line lies beside the window.
    const std::wstring cli = program.substr(0, program.find_last_of(L"\\/") + 1) + L"partwright-cli.exe";
    if (GetFileAttributesW(cli.c_str()) != INVALID_FILE_ATTRIBUTES) CheckResources(cli);
    wt::TempFolder temp;
    const std::wstring folder = temp / L"Zürich-東京";
    wt::MakeFolder(folder);
    const std::wstring source = folder + L"\\Grüße ✓.txt";
    wt::WriteBytes(source, "1\r\n2\r\n3\r\n4\r\n");

    std::wstring commandLine = wt::BuildCommandLine(program, {source});
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        Fail("cannot start " + wt::Utf8(program));
        return 1;
    }
    CloseHandle(started.hThread);

    HWND window = FindWindowOf(started.dwProcessId, nullptr, 90000);
    if (!window) {
        Fail("no visible window captioned \"Partwright\" appeared within 90 seconds");
        TerminateProcess(started.hProcess, 1);
        CloseHandle(started.hProcess);
        return 1;
    }
    CheckWindow(window);

    RECT outer{};
    GetWindowRect(window, &outer);
    std::printf("window %ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
    std::fflush(stdout);
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
    }

    // The argument is the list's one entry: "Split!" cuts it into 3-line pieces (the defaults).
    Click(window, Below(kSplitButton));
    HWND box = FindWindowOf(started.dwProcessId, window, 60000);
    if (!box) Fail("no message box after \"Split!\"");
    CheckPieces(folder);
    if (box) PostMessageW(box, WM_CLOSE, 0, 0);
    if (box && FindWindowOf(started.dwProcessId, window, 0)) Sleep(1000);

    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    if (WaitForSingleObject(started.hProcess, 30000) != WAIT_OBJECT_0) {
        Fail("the program did not end within 30 seconds of closing its window");
        TerminateProcess(started.hProcess, 1);
    } else if (!GetExitCodeProcess(started.hProcess, &exitCode) || exitCode != 0) {
        Fail("the program ended with status " + std::to_string(exitCode));
    }
    CloseHandle(started.hProcess);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_check.exe PARTWRIGHT_EXE\n");
        return 2;
    }
    try {
        return Run(argv[1]);
    } catch (const std::exception& error) {
        Fail(error.what());
        return 1;
    }
}
