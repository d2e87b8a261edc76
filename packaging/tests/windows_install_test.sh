#!/usr/bin/env bash
# Tests the Windows installer under Wine, in a fresh prefix, as a user meets it:
#   packaging/tests/windows_install_test.sh [PACKAGE_FOLDER [WINDOWS_BUILD [SCREENSHOT.png]]]
# (defaults: build/package and build/windows, whose tests/windows/window_check.exe
# drives the window). A silent install (/S) must put exactly the portable zip's
# files under %LOCALAPPDATA%\Programs\Partwright with an uninstaller, a
# Start-menu and a "Send to" shortcut, the "Open with" keys and the entry of
# the installed-programs list; the installed partwright-cli.exe must split a
# file byte for byte; the installed partwright.exe must open its window
# (scripts/check-windows-window.sh: client size, icon, a split, the close
# button) under Xvfb; a silent uninstall must remove all of that and leave
# the user's settings alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
packages="$(realpath "${1:-$root/build/package}")"
windows_build="$(realpath "${2:-$root/build/windows}")"
shot="${3:+$(realpath -m "$3")}"
. "$root/scripts/wine-prefix.sh"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

shopt -s nullglob
setups=("$packages"/partwright-*-windows-x64-setup.exe)
zips=("$packages"/partwright-*-windows-x64.zip)
shopt -u nullglob
[ ${#setups[@]} -eq 1 ] && [ ${#zips[@]} -eq 1 ] ||
    { echo "windows_install_test.sh: expected one setup .exe and one .zip in $packages" >&2; exit 1; }
setup=${setups[0]}
zip=${zips[0]}
name="$(basename "$zip" .zip)"
version="${name#partwright-}"; version="${version%-windows-x64}"
[ -f "$windows_build/tests/windows/window_check.exe" ] ||
    { echo "windows_install_test.sh: no $windows_build/tests/windows/window_check.exe; scripts/test-windows.sh builds it" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/partwright-setup.XXXXXX")"
cleanup() {
    wine_prefix_stop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
unset DISPLAY WAYLAND_DISPLAY
prefix="$work/wine"
wine_prefix_start "$prefix"

winvar() { wine cmd /c echo "%$1%" </dev/null 2>/dev/null | tr -d '\r'; }
regvalue() {  # regvalue KEY NAME: the value's data, or nothing; NAME "" is the default value
    if [ -z "$2" ]; then
        wine reg query "$1" /ve </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_[A-Z_]* *//p'
    else
        wine reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
    fi
}
haskey() { wine reg query "$1" </dev/null >/dev/null 2>&1; }

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Partwright'
open_with_key='HKCU\Software\Classes\Applications\partwright.exe'
open_with_list='HKCU\Software\Classes\.txt\OpenWithList\partwright.exe'
settings_key='HKCU\Software\Quillmark\Partwright'

# --- install ---------------------------------------------------------------
started=$SECONDS
if timeout 300 wine "$setup" /S </dev/null; then
    pass "the installer ran silently ($((SECONDS - started)) s)"
else
    fail "the installer exited with status $?"
fi
install="$(winepath -u "$(winvar LOCALAPPDATA)\\Programs\\Partwright")"
programs="$(winepath -u "$(winvar APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs")"
sendto="$(winepath -u "$(winvar APPDATA)\\Microsoft\\Windows\\SendTo")"

unzip -q "$zip" -d "$work/zip"
if [ -f "$install/uninstall.exe" ] && diff -r --exclude=uninstall.exe "$work/zip/$name" "$install" >&2; then
    pass "%LOCALAPPDATA%\\Programs\\Partwright holds the zip's $(find "$install" -type f | wc -l) files, byte for byte, and uninstall.exe"
else
    fail "the installed folder $install differs from the zip's folder, or has no uninstall.exe"
fi

for link in "$programs/Partwright.lnk" "$sendto/Partwright.lnk"; do
    if [ -f "$link" ] && strings -a -e l "$link" | grep -qi 'Programs\\Partwright\\partwright.exe'; then
        pass "the shortcut $(basename "$(dirname "$link")")/Partwright.lnk starts the installed partwright.exe"
    else
        fail "no shortcut $link to the installed partwright.exe"
    fi
done

install_win="$(winvar LOCALAPPDATA)\\Programs\\Partwright"
[ "$(regvalue "$uninstall_key" DisplayName)" = Partwright ] &&
    [ "$(regvalue "$uninstall_key" DisplayVersion)" = "$version" ] &&
    [ "$(regvalue "$uninstall_key" UninstallString)" = "\"$install_win\\uninstall.exe\"" ] &&
    [ "$(regvalue "$uninstall_key" QuietUninstallString)" = "\"$install_win\\uninstall.exe\" /S" ] &&
    pass "the installed-programs entry names Partwright $version and its uninstaller" ||
    fail "the installed-programs entry: $(wine reg query "$uninstall_key" </dev/null 2>&1 | tr -d '\r')"
[ "$(regvalue "$open_with_key\\shell\\open\\command" '')" = "\"$install_win\\partwright.exe\" \"%1\"" ] &&
    haskey "$open_with_list" &&
    pass "\"Open with\" offers the installed partwright.exe for .txt files" ||
    fail "the \"Open with\" keys: $(wine reg query "$open_with_key" /s </dev/null 2>&1 | tr -d '\r')"

# --- the installed programs --------------------------------------------------
mkdir "$work/split"
printf 'one\r\ncaf\xe9\r\nthree\r\n' >"$work/split/notes.txt"
if timeout 180 wine "$install/partwright-cli.exe" --quiet --lines 2 --codepage windows-1252 \
        "Z:${work//\//\\}\\split\\notes.txt" </dev/null &&
   cmp -s "$work/split/notes-0001.txt" <(printf 'one\r\ncaf\xc3\xa9\r\n') &&
   cmp -s "$work/split/notes-0002.txt" <(printf 'three\r\n') && [ "$(ls "$work/split" | wc -l)" -eq 3 ]; then
    pass "the installed partwright-cli.exe splits a file byte for byte"
else
    fail "the installed partwright-cli.exe: the pieces are not as expected"; ls -l "$work/split" >&2
fi

# The window on a display, on Wine's Windows platform, in this prefix.
wine_prefix_stop
if PARTWRIGHT_WINE_PREFIX="$prefix" PARTWRIGHT_WINDOW_EXE="$install/partwright.exe" \
        "$root/scripts/check-windows-window.sh" "$windows_build" ${shot:+"$shot"}; then
    pass "the installed partwright.exe opens its window with its icon, splits and closes"
else
    fail "the installed partwright.exe's window (check-windows-window.sh above)"
fi
unset DISPLAY
wine_prefix_start "$prefix"

# Which DLLs the installed window loads, as Wine's loader reports them: Qt's
# Windows platform, the Windows Vista style and the ICO reader, each from the
# installed folder, not from anywhere else.
wine_prefix_stop
loaded="$work/loaddll.log"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    . "$1/scripts/wine-prefix.sh"
    wine_prefix_start "$2"
    WINEDEBUG=+loaddll timeout 120 wine "$3" </dev/null >/dev/null 2>"$4" &
    for _ in $(seq 240); do
        grep -q "qico.dll" "$4" 2>/dev/null && break
        sleep 0.5
    done
    sleep 1
    wine_prefix_stop' _ "$root" "$prefix" "$install/partwright.exe" "$loaded" || true
missing=()
for dll in 'platforms\\qwindows.dll' 'styles\\qwindowsvistastyle.dll' 'imageformats\\qico.dll' 'Qt6Widgets.dll'; do
    grep -qiF "Programs\\\\Partwright\\\\${dll}\"" "$loaded" || missing+=("$dll")
done
[ ${#missing[@]} -eq 0 ] &&
    pass "the installed window loads Qt, its Windows platform, the Vista style and the ICO reader from its folder" ||
    fail "the installed window did not load ${missing[*]} from its folder: $(grep -ci 'Loaded' "$loaded") DLLs loaded"
unset DISPLAY
wine_prefix_start "$prefix"

# --- uninstall ---------------------------------------------------------------
wine reg add "$settings_key" /v 'Probe' /d 'kept' /f </dev/null >/dev/null 2>&1
# The uninstaller copies itself to the temporary folder, starts that copy and
# returns at once: wait for the files to go.
timeout 120 wine "$install/uninstall.exe" /S </dev/null || fail "the uninstaller exited with status $?"
for _ in $(seq 600); do
    [ -e "$install" ] || break
    sleep 0.2
done
sleep 1
if [ -e "$install" ]; then
    fail "the uninstaller left $(find "$install" | wc -l) files and folders in $install"
else
    pass "the uninstaller removed the installed folder"
fi
[ ! -e "$programs/Partwright.lnk" ] && [ ! -e "$sendto/Partwright.lnk" ] &&
    pass "the uninstaller removed both shortcuts" || fail "a shortcut is left"
! haskey "$uninstall_key" && ! haskey "$open_with_key" && ! haskey "$open_with_list" &&
    pass "the uninstaller removed the installed-programs entry and the \"Open with\" keys" ||
    fail "registry keys are left"
[ "$(regvalue "$settings_key" Probe)" = kept ] &&
    pass "the user's settings are left alone" || fail "the user's settings went with the program"

if [ $failures -ne 0 ]; then
    echo "windows_install_test.sh: $failures check(s) failed" >&2
    exit 1
fi
echo "windows_install_test.sh: every check passed"
