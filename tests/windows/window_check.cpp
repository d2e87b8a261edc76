// Looks at partwright.exe's window the way Windows itself sees it, on a real
// display (scripts/check-windows-window.sh starts the program under Wine and
// Xvfb, then runs this):
//   window_check.exe            waits for the window, checks its caption, its
//                               client size, its frame and title-bar buttons,
//                               and the hand pointer over a picture button;
//                               prints "window LEFT TOP WIDTH HEIGHT"
//   window_check.exe --close    closes the window as its close button does
//                               and waits until the program has ended
// Exit status 0 when every check holds, 1 otherwise (each failure printed).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

constexpr wchar_t kCaption[] = L"Partwright";
constexpr LONG kClientWidth = 513;   // 7695 twips at 96 dpi
constexpr LONG kClientHeight = 392;  // 5880 twips
// The middle of the "Add File(s)" button, in client pixels.
constexpr POINT kAddFilesButton = {8 + 161 / 2, 136 + 81 / 2};
// A spot on the window's white background, off every control.
constexpr POINT kBackground = {4, 131};

int failures = 0;

void Fail(const char* what) {
    std::fprintf(stderr, "window_check: %s\n", what);
    ++failures;
}

// The program's main window: visible, captioned "Partwright", and not one of
// its message boxes (those are dialogs of class #32770 or owned windows).
HWND FindMainWindow(DWORD waitMs) {
    for (DWORD waited = 0;; waited += 250) {
        HWND window = FindWindowW(nullptr, kCaption);
        while (window) {
            if (IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) return window;
            window = FindWindowExW(nullptr, window, nullptr, kCaption);
        }
        if (waited >= waitMs) return nullptr;
        Sleep(250);
    }
}

// The pointer the system shows once the mouse has rested at `client` for a moment.
HCURSOR PointerAt(HWND window, POINT client) {
    ClientToScreen(window, &client);
    SetCursorPos(client.x, client.y);
    Sleep(1500);
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info)) return nullptr;
    return info.hCursor;
}

int Check() {
    HWND window = FindMainWindow(90000);
    if (!window) {
        Fail("no visible window captioned \"Partwright\" appeared within 90 seconds");
        return 1;
    }
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    if (std::wcscmp(caption, kCaption) != 0) Fail("the caption is not \"Partwright\"");

    RECT client{};
    GetClientRect(window, &client);
    if (client.right - client.left != kClientWidth || client.bottom - client.top != kClientHeight) {
        std::fprintf(stderr, "window_check: client area %ld x %ld\n", client.right - client.left,
                     client.bottom - client.top);
        Fail("the client area is not 513 x 392");
    }

    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    if (!(style & WS_CAPTION)) Fail("the window has no title bar");
    if (!(style & WS_SYSMENU)) Fail("the title bar has no close button");
    if (!(style & WS_MINIMIZEBOX)) Fail("the title bar has no minimize button");
    if (style & WS_MAXIMIZEBOX) Fail("the title bar has a maximize button");
    if (style & WS_THICKFRAME) Fail("the frame lets the user resize the window");

    // HAND-M.CUR beside the program is the pointer over the picture buttons.
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    const HCURSOR overButton = PointerAt(window, kAddFilesButton);
    const HCURSOR overBackground = PointerAt(window, kBackground);
    if (!overButton || overButton == arrow) Fail("the pointer over \"Add File(s)\" is not the hand");
    if (overBackground != arrow) Fail("the pointer over the background is not the arrow");

    RECT outer{};
    GetWindowRect(window, &outer);
    std::printf("window %ld %ld %ld %ld\n", outer.left, outer.top, outer.right - outer.left,
                outer.bottom - outer.top);
    return failures == 0 ? 0 : 1;
}

int Close() {
    HWND window = FindMainWindow(0);
    if (!window) {
        Fail("no window to close");
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) {
        Fail("cannot open the window's process");
        return 1;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    if (WaitForSingleObject(process, 30000) != WAIT_OBJECT_0) Fail("the program did not end within 30 seconds");
    else if (!GetExitCodeProcess(process, &exitCode) || exitCode != 0) Fail("the program did not end with status 0");
    CloseHandle(process);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--close") == 0) return Close();
    if (argc == 1) return Check();
    std::fprintf(stderr, "usage: window_check.exe [--close]\n");
    return 2;
}
