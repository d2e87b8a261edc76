#!/usr/bin/env bash
# Tests the packages as a user gets them:
#   packaging/tests/install_test.sh [PACKAGE_FOLDER]     (default: build/package)
# The .deb is unpacked into a temporary root, where the command line runs a
# split, the window starts and finds its pointer images under share/partwright,
# the desktop entry and icons are checked and every option that a program's
# --help shows is looked up in its manual page. The .zip holds the Windows
# folder, whose DLLs are all there, and its partwright-cli.exe runs a split
# under Wine in a fresh prefix (windows_install_test.sh runs its window).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
packages="${1:-$root/build/package}"
. "$root/scripts/wine-prefix.sh"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

shopt -s nullglob
debs=("$packages"/partwright_*.deb)
zips=("$packages"/partwright-*-windows-x64.zip)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || { echo "install_test.sh: expected one .deb in $packages, found ${#debs[@]}" >&2; exit 1; }
[ ${#zips[@]} -eq 1 ] || { echo "install_test.sh: expected one .zip in $packages, found ${#zips[@]}" >&2; exit 1; }
deb=${debs[0]}
zip=${zips[0]}
version=$(dpkg-deb -f "$deb" Version)

work="$(mktemp -d "${TMPDIR:-/tmp}/partwright-install.XXXXXX")"
window_pid=""
cleanup() {
    [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
    wine_prefix_stop
    rm -rf "$work"
}
trap cleanup EXIT

# A source in windows-1252 (named, so the locale does not matter) with CR LF
# lines, cut every 2 lines: the pieces are UTF-8, and each ends with its last
# line's line end, so that joined they give the source's text back.
write_source() { printf 'one\r\ncaf\xe9\r\nthree\r\n' > "$1"; }
check_pieces() {  # check_pieces FOLDER WHAT
    if cmp -s "$1/notes-0001.txt" <(printf 'one\r\ncaf\xc3\xa9\r\n') &&
       cmp -s "$1/notes-0002.txt" <(printf 'three\r\n') &&
       [ "$(ls "$1" | wc -l)" -eq 3 ]; then
        pass "$2"
    else
        fail "$2: the pieces are not as expected"; ls -l "$1" >&2
    fi
}

# --- the Debian package -----------------------------------------------------
tree="$work/root"
dpkg-deb -x "$deb" "$tree"
usr="$tree/usr"

mkdir "$work/cli"
write_source "$work/cli/notes.txt"
if "$usr/bin/partwright-cli" --quiet --lines 2 --codepage windows-1252 "$work/cli/notes.txt"; then
    check_pieces "$work/cli" "installed partwright-cli splits a file"
else
    fail "installed partwright-cli exited with status $?"
fi
[ "$("$usr/bin/partwright-cli" --version)" = "partwright-cli $version" ] &&
    pass "partwright-cli --version names the package's version $version" ||
    fail "partwright-cli --version says '$("$usr/bin/partwright-cli" --version)', the package is $version"

export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
[ "$("$usr/bin/partwright" --version)" = "Partwright $version" ] &&
    pass "partwright --version names the package's version" ||
    fail "partwright --version says '$("$usr/bin/partwright" --version 2>&1)', the package is $version"

# The window reads the hand pointer when it starts and looks up the drag
# pointer, which it reads when a drag begins. strace shows the files it opens
# or looks at; both must be found under share/partwright, where the package
# puts them (nothing lies beside the installed executable), and the window
# must keep running.
trace="$work/window.trace"
strace -f -qq -e trace=%file -e status=successful -o "$trace" \
    sh -c 'echo $$ > "$1"; exec "$2"' sh "$work/window.pid" "$usr/bin/partwright" &
tracer=$!
data="$usr/share/partwright"
found() { grep -qE "^[0-9]+ +[a-z0-9_]+\([^\"]*\"$data/$1\"" "$trace" 2>/dev/null; }
for _ in $(seq 600); do
    [ -s "$work/window.pid" ] && window_pid=$(cat "$work/window.pid")
    grep -q "\"$data/HAND-M.CUR\", O_RDONLY" "$trace" 2>/dev/null && found drag.ico && break
    kill -0 "$tracer" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$window_pid" ] || ! kill -0 "$window_pid" 2>/dev/null; then
    fail "the installed window did not keep running"
elif grep -q "\"$data/HAND-M.CUR\", O_RDONLY" "$trace" && found drag.ico; then
    pass "the installed window starts and finds its pointer images in share/partwright"
else
    fail "the installed window did not find its pointer images in $data"
    grep -E 'HAND-M|drag\.ico' "$trace" >&2 || true
fi
[ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
wait "$tracer" 2>/dev/null || true
window_pid=""

# On X11 the window shows the icon that the desktop entry names.
if xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        QT_QPA_PLATFORM=xcb "$1" &
        window=$!
        for _ in $(seq 300); do
            xprop -name Partwright WM_NAME >/dev/null 2>&1 && break
            sleep 0.2
        done
        python3 "$2" Partwright "$3"
        status=$?
        kill $window
        wait $window 2>/dev/null
        exit $status' _ "$usr/bin/partwright" "$root/packaging/tests/window_icon_check.py" \
        "$usr/share/icons/hicolor/32x32/apps/partwright.png"; then
    pass "the installed window shows the Partwright icon on X11"
else
    fail "the installed window's icon on X11"
fi

desktop="$usr/share/applications/partwright.desktop"
if desktop-file-validate "$desktop" && grep -qx 'Exec=partwright %F' "$desktop" && grep -qx 'Icon=partwright' "$desktop"; then
    pass "the desktop entry validates, opens the files it is given and names the partwright icon"
else
    fail "desktop entry $desktop"
fi

icons="$usr/share/icons/hicolor"
icon_faults=0
[ -s "$icons/scalable/apps/partwright.svg" ] || icon_faults=1
pngs=("$icons"/*x*/apps/partwright.png)
[ ${#pngs[@]} -ge 6 ] || icon_faults=1
for png in "${pngs[@]}"; do
    size=$(basename "$(dirname "$(dirname "$png")")")  # e.g. 48x48
    file -b "$png" | grep -q "^PNG image data, ${size/x/ x }," || { icon_faults=1; echo "$png is not $size" >&2; }
done
[ $icon_faults -eq 0 ] && pass "the icon: scalable SVG and ${#pngs[@]} PNG sizes, each as large as its folder says" ||
    fail "the hicolor icons"

# Every option that --help shows, by its long and its short name, must be in
# the manual page, as man shows it.
for program in partwright-cli partwright; do
    page="$usr/share/man/man1/$program.1.gz"
    if [ ! -s "$page" ]; then fail "no manual page $page"; continue; fi
    shown=$(zcat "$page" | LC_ALL=C nroff -man -Tascii -rLL=200n 2>/dev/null | col -b)
    options=$("$usr/bin/$program" --help | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[ ,]*//' | sort -u)
    [ -n "$options" ] || { fail "$program --help shows no options"; continue; }
    missing=()
    for option in $options; do
        grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|\$)" <<<"$shown" || missing+=("$option")
    done
    [ ${#missing[@]} -eq 0 ] && pass "the manual page of $program names all $(wc -w <<<"$options") options of its --help" ||
        fail "the manual page of $program lacks ${missing[*]}"
done

# --- the Windows archive ----------------------------------------------------
unzip -q "$zip" -d "$work/zip"
folder="$work/zip/$(basename "$zip" .zip)"
# The window with the Qt DLLs it loads, the run-time DLLs, the command line, the
# pointer files and the licences: that list, nothing more and nothing less.
held=$(cd "$work/zip" && find . -type f | sort | tr '\n' ' ')
expected=$(printf "./$(basename "$folder")/%s\n" LICENSE.txt README.txt partwright.exe partwright-cli.exe \
    HAND-M.CUR drag.ico Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
    libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll \
    platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll \
    licenses/LGPL-3.0.txt licenses/GPL-3.0.txt licenses/Qt-NOTICE.txt licenses/Qt-6.4.2-copyright.txt \
    licenses/MinGW-GCC-runtime-copyright.txt licenses/MinGW-w64-copyright.txt | sort | tr '\n' ' ')
[ "$held" = "$expected" ] && pass "the archive holds the window, the command line, their DLLs and the licences, nothing else" ||
    fail "the archive holds $held; expected $expected"
# A text file Windows opens: .txt, every line ended by CR LF.
if [ "$(grep -c $'\r$' "$folder/README.txt")" = "$(wc -l <"$folder/README.txt")" ]; then
    pass "the archive's README is README.txt with CR LF line ends"
else
    fail "the archive's README.txt has lines without CR LF"
fi
unset DISPLAY WAYLAND_DISPLAY
wine_prefix_start "$work/wine" || fail "Wine could not create its prefix"
# Every DLL that a program or DLL of the folder loads is in the folder or is
# one of Windows' own (as a fresh Wine prefix has them). api-ms-win-* names are
# API sets, which the Windows loader (8 and later, as Qt 6 needs) maps itself.
system32="$WINEPREFIX/drive_c/windows/system32"
unmet=()
while IFS= read -r -d '' binary; do
    while IFS= read -r dll; do
        [[ "${dll,,}" == api-ms-win-* ]] || [ -n "$(find "$folder" -maxdepth 1 -iname "$dll")" ] ||
            [ -n "$(find "$system32" -maxdepth 1 -iname "$dll")" ] ||
            unmet+=("$(basename "$binary") needs $dll")
    done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done < <(find "$folder" \( -name '*.exe' -o -name '*.dll' \) -print0)
[ ${#unmet[@]} -eq 0 ] && pass "every DLL the archive's programs and DLLs load is in the folder or in Windows" ||
    fail "missing DLLs: ${unmet[*]}"
[ -z "$(x86_64-w64-mingw32-objdump -p "$folder/partwright-cli.exe" | grep -E 'DLL Name: (lib|Qt)')" ] &&
    pass "partwright-cli.exe needs none of the folder's DLLs, so it also runs copied out alone" ||
    fail "partwright-cli.exe loads DLLs of the folder"
mkdir "$work/win"
write_source "$work/win/notes.txt"
if timeout 180 wine "$folder/partwright-cli.exe" --quiet --lines 2 --codepage windows-1252 "Z:${work//\//\\}\\win\\notes.txt" </dev/null; then
    check_pieces "$work/win" "the archive's partwright-cli.exe splits a file under Wine"
else
    fail "the archive's partwright-cli.exe exited with status $? under Wine"
fi

if [ $failures -ne 0 ]; then
    echo "install_test.sh: $failures check(s) failed" >&2
    exit 1
fi
echo "install_test.sh: every check passed"
