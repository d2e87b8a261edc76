#!/usr/bin/env bash
# Opens partwright.exe of a Windows build on Wine's real Windows platform,
# under Xvfb in a fresh Wine prefix of its own, and drives it with
# tests/windows/window_check.exe: a source outside the ANSI code page given on
# the command line, the caption, the client size 513 x 517 below the menu bar
# at start, a frame the user can resize with minimize, maximize and close
# buttons, the icon (against our drawing, as X11 gets it), the hand pointer
# over a picture button, "Split!" writing the pieces, and the close button
# ending the program.
#   scripts/check-windows-window.sh BUILD_FOLDER [SCREENSHOT.png]
# With a second argument the window is also saved as a PNG picture.
# PARTWRIGHT_WINDOW_EXE names another partwright.exe to check (an installed
# one); PARTWRIGHT_WINE_PREFIX an existing Wine prefix to run in, which is
# kept (its server must not be running).
set -euo pipefail
build="$(cd "$1" && pwd)"
shot="${2:+$(realpath -m "$2")}"

for tool in wine wineserver xvfb-run xprop python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "check-windows-window.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    fi
done
if [ -n "$shot" ] && ! command -v import >/dev/null; then
    echo "check-windows-window.sh: import (ImageMagick) is missing" >&2
    exit 1
fi

# A display of our own: run again inside xvfb-run.
if [ -z "${PARTWRIGHT_CHECK_IN_XVFB:-}" ]; then
    exec env PARTWRIGHT_CHECK_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$build" ${shot:+"$shot"}
fi

. "$(dirname "$0")/wine-prefix.sh"
keep_prefix="${PARTWRIGHT_WINE_PREFIX:-}"
prefix="${keep_prefix:-$(mktemp -d "${TMPDIR:-/tmp}/partwright-wine-window.XXXXXX")}"
cleanup() {
    wine_prefix_stop
    rm -f "$prefix/partwright-check-go" "$prefix/partwright-check.out"
    [ -n "$keep_prefix" ] || rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
wine_prefix_start "$prefix"

# A fresh prefix has no Arial, the window's font: Wine draws it with the
# metric-compatible Liberation Sans (fonts-liberation) instead.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /d 'Liberation Sans' /f </dev/null >/dev/null 2>&1

exe="$(winepath -w "${PARTWRIGHT_WINDOW_EXE:-$build/ui/partwright.exe}")"
check="$build/tests/windows/window_check.exe"

# The check waits for a line on its stdin once the window is up: the icon is
# looked at and the picture taken then.
go="$prefix/partwright-check-go"
out="$prefix/partwright-check.out"
mkfifo "$go"
timeout 300 wine "$check" "$exe" <"$go" >"$out" &
checker=$!
exec 4>"$go"
for _ in $(seq 1 300); do
    grep -q '^window ' "$out" 2>/dev/null && break
    kill -0 "$checker" 2>/dev/null || break
    sleep 0.5
done
status=0
geometry="$(grep '^window ' "$out" | tr -d '\r' || true)"
if [ -n "$geometry" ]; then
    # Wine hands the window's icon to X11: it must be our drawing.
    python3 "$(dirname "$0")/../packaging/tests/window_icon_check.py" Partwright "$build/ui/icon/partwright-32.png" ||
        status=1
    if [ -n "$shot" ]; then
        read -r _ left top width height <<<"$geometry"
        import -window root -crop "${width}x${height}+${left}+${top}" +repage "$shot"
        echo "check-windows-window.sh: saved $shot"
    fi
fi
echo >&4
exec 4>&-
wait "$checker" || status=$?
cat "$out"
exit "$status"
