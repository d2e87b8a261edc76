#!/usr/bin/env bash
# Builds Partwright and its tests for 64-bit Windows with MinGW-w64 (the window
# against a static Qt for MinGW), then runs every test under Wine in a fresh,
# throw-away Wine prefix, and opens the window once on Wine's real Windows
# platform under Xvfb (scripts/check-windows-window.sh).
#   scripts/test-windows.sh [BUILD_FOLDER]      (default: build/windows)
# PARTWRIGHT_JOBS sets the parallel build and test jobs (default: all cores).
# PARTWRIGHT_QT_MINGW_ARCHIVE names the static Qt archive (default: the team's
# copy in ../shared/qt6-mingw, else the cache; scripts/qt-mingw.sh says which).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${1:-$root/build/windows}"
jobs="${PARTWRIGHT_JOBS:-$(nproc)}"

for tool in x86_64-w64-mingw32-g++-posix wine wineserver; do
    if ! command -v "$tool" >/dev/null; then
        echo "test-windows.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    fi
done

# Qt for MinGW, unpacked once into the build folder (never the source tree).
. "$here/qt-mingw.sh"
qt="$build/qt6-mingw"
if [ ! -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    qt_archive="$(qt_mingw_archive static)"
    qt_mingw_unpack "$qt_archive" "$build"
fi

# RE2 for MinGW (Debian has none), built once into the cache: scripts/build-re2-mingw.sh.
re2="$("$here/build-re2-mingw.sh")"

# Tests run through wine-test-run.sh, which starts again a program that Wine
# failed to start (see there); the retries are listed at the end.
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DPARTWRIGHT_MINGW_QT="$qt" \
    -Dre2_DIR="$re2/lib/cmake/re2" \
    -DPARTWRIGHT_WINE="$here/wine-test-run.sh" \
    -DCMAKE_BUILD_TYPE=Release -DPARTWRIGHT_GUI=ON -DPARTWRIGHT_BENCH=OFF -DPARTWRIGHT_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"

. "$here/wine-prefix.sh"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/partwright-wine.XXXXXX")"
export PARTWRIGHT_WINE_RETRY_LOG="$prefix/retries.log"
# Console programs only: never reach for a display, even when one is set.
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    if [ -s "$PARTWRIGHT_WINE_RETRY_LOG" ]; then
        echo "test-windows.sh: $(wc -l <"$PARTWRIGHT_WINE_RETRY_LOG") program run(s) failed in Wine itself and were started again:"
        cat "$PARTWRIGHT_WINE_RETRY_LOG"
    fi
    wine_prefix_stop
    rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
wine_prefix_start "$prefix"
# Wine passes no QT_* variable from Linux, and a Qt Test program without a
# console writes its report to the debugger; this sends it to stderr, for CTest.
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f </dev/null >/dev/null 2>&1

# --foreground keeps CTest in our process group, so Ctrl-C reaches it too.
status=0
# The limits leave room for a machine shared with other builds: the
# differential tests take well over a minute each under Wine there.
timeout --foreground --kill-after=10 2700 \
    ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$jobs" || status=$?

# The window once on Wine's real Windows platform, with a display of its own.
"$here/check-windows-window.sh" "$build" || status=1
exit "$status"
