#!/usr/bin/env bash
# Installs what is missing, then builds Partwright's packages in build/package/:
#   partwright_VERSION_amd64.deb         Debian 12: the window, the command line, the menu entry,
#                                        the icon and the manual pages (checked with lintian)
#   partwright-VERSION-windows-x64.zip   Windows, portable: the window and the command line
#                                        (MinGW-w64) with the Qt and run-time DLLs, licences
#   partwright-VERSION-windows-x64-setup.exe   Windows installer (NSIS) of the same folder
# It builds only what the packages hold: in build/release, configured as scripts/test.sh
# configures it, and in build/windows-shared against the shared Qt for MinGW
# (scripts/qt-mingw.sh says where that comes from).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
"$here/setup.sh"

release="$root/build/release"
windows="$root/build/windows-shared"
out="$root/build/package"
jobs="${PARTWRIGHT_JOBS:-$(nproc)}"

echo "== Debian package"
cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$release" -j "$jobs" --target partwright_data

echo "== Windows folder"
. "$here/qt-mingw.sh"
if [ ! -f "$windows/qt6-mingw/lib/cmake/Qt6/Qt6Config.cmake" ]; then
    qt_archive="$(qt_mingw_archive shared)"
    qt_mingw_unpack "$qt_archive" "$windows"
fi
# RE2 for MinGW, built once into the cache.
re2="$("$here/build-re2-mingw.sh")"
cmake -S "$root" -B "$windows" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -Dre2_DIR="$re2/lib/cmake/re2" \
    -DPARTWRIGHT_MINGW_QT="$windows/qt6-mingw" -DPARTWRIGHT_MINGW_SHARED_RUNTIME=ON \
    -DCMAKE_BUILD_TYPE=Release -DPARTWRIGHT_GUI=ON -DPARTWRIGHT_BENCH=OFF -DPARTWRIGHT_TESTS=OFF >/dev/null
cmake --build "$windows" -j "$jobs" --target partwright partwright-cli

mkdir -p "$out"
rm -f "$out"/partwright_*.deb "$out"/partwright-*.zip "$out"/partwright-*-setup.exe
rm -rf "$release/cpack" "$windows/cpack"
(cd "$release" && cpack -G DEB -B "$release/cpack" >/dev/null)
(cd "$windows" && cpack -G ZIP -B "$windows/cpack" >/dev/null)
cp "$release"/cpack/partwright_*.deb "$windows"/cpack/partwright-*-windows-x64.zip "$out/"

echo "== Windows installer"
"$here/make-installer.sh" "$out"/partwright-*-windows-x64.zip "$out"

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$out"/partwright_*.deb
ls -l "$out"
