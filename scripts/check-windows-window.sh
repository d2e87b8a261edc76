#!/usr/bin/env bash
# Opens partwright.exe of a Windows build on Wine's real Windows platform,
# under Xvfb in a fresh Wine prefix of its own, and checks its window with
# tests/windows/window_check.exe: caption, client size 513 x 392, a fixed frame
# with minimize and close buttons only, the hand pointer over a picture button;
# then closes it as its close button does and checks that the program ends.
#   scripts/check-windows-window.sh BUILD_FOLDER [SCREENSHOT.png]
# With a second argument the window is also saved as a PNG picture.
set -euo pipefail
build="$(cd "$1" && pwd)"
shot="${2:+$(realpath -m "$2")}"

for tool in wine wineserver xvfb-run; do
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

prefix="$(mktemp -d "${TMPDIR:-/tmp}/partwright-wine-window.XXXXXX")"
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

(wineserver -p </dev/null >/dev/null 2>&1 &)
sleep 1
if ! timeout 180 wine cmd /c exit </dev/null >/dev/null 2>&1; then
    echo "check-windows-window.sh: Wine could not create its prefix in $prefix" >&2
    exit 1
fi

wine "$build/ui/partwright.exe" </dev/null >/dev/null 2>&1 &
status=0
geometry="$(timeout 150 wine "$build/tests/windows/window_check.exe" </dev/null | tr -d "\r")" || status=$?
echo "$geometry"
if [ -n "$shot" ] && [ -n "$geometry" ]; then
    read -r _ left top width height <<<"$geometry"
    import -window root -crop "${width}x${height}+${left}+${top}" +repage "$shot"
    echo "check-windows-window.sh: saved $shot"
fi
timeout 60 wine "$build/tests/windows/window_check.exe" --close </dev/null || status=1
exit "$status"
