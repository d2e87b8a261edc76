#!/usr/bin/env bash
# Makes the Windows installer from the portable zip, so both hold the same files:
#   scripts/make-installer.sh partwright-VERSION-windows-x64.zip OUT_FOLDER
# writes OUT_FOLDER/partwright-VERSION-windows-x64-setup.exe with Debian's
# makensis (package nsis) and packaging/windows/partwright.nsi. The installer
# installs every file of the zip's folder and its uninstaller deletes exactly those.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
zip="$(realpath "$1")"
out="$(realpath "$2")"
command -v makensis >/dev/null || { echo "make-installer.sh: makensis is missing; scripts/setup.sh installs it" >&2; exit 1; }

name="$(basename "$zip" .zip)"                       # partwright-1.0.0-windows-x64
version="${name#partwright-}"; version="${version%-windows-x64}"
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make-installer.sh: no version in $zip" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/partwright-nsis.XXXXXX")"
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
folder="$work/$name"
[ -f "$folder/partwright.exe" ] || { echo "make-installer.sh: $zip holds no $name/partwright.exe" >&2; exit 1; }

# The file lists, folder by folder, with Windows separators for the targets.
files="$work/files.nsh"
unfiles="$work/unfiles.nsh"
: >"$files"
: >"$unfiles"
while IFS= read -r dir; do
    rel="${dir#.}"; rel="${rel#/}"
    win="\$INSTDIR${rel:+\\${rel//\//\\}}"
    echo "SetOutPath \"$win\"" >>"$files"
    while IFS= read -r file; do
        base="$(basename "$file")"
        if [[ "$file" == *[\"\$\`]* ]]; then
            echo "make-installer.sh: a file name NSIS would misread: $file" >&2
            exit 1
        fi
        echo "File \"${file#./}\"" >>"$files"
        echo "Delete \"$win\\$base\"" >>"$unfiles"
    done < <(cd "$folder" && find "$dir" -maxdepth 1 -type f | sort)
done < <(cd "$folder" && find . -type d | sort)
# Folders last, the deepest first; each goes only when nothing else is in it.
while IFS= read -r dir; do
    rel="${dir#./}"
    echo "RMDir \"\$INSTDIR\\${rel//\//\\}\"" >>"$unfiles"
done < <(cd "$folder" && find . -mindepth 1 -type d | sort -r)

size_kb=$(du -sk "$folder" | cut -f1)
setup="$out/$name-setup.exe"
(cd "$folder" && makensis -V2 -NOCD \
    -DVERSION="$version" -DOUTFILE="$setup" -DICON="$root/assets/partwright.ico" \
    -DFILES="$files" -DUNFILES="$unfiles" -DSIZE_KB="$size_kb" \
    "$root/packaging/windows/partwright.nsi")
echo "make-installer.sh: $setup ($(du -k "$setup" | cut -f1) KB, installs $size_kb KB)"
