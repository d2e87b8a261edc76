#!/usr/bin/env bash
# Installs what is missing, then builds Partwright's packages in build/package/:
#   partwright_VERSION_amd64.deb         Debian 12: the window, the command line, the menu entry,
#                                        the icon and the manual pages (checked with lintian)
#   partwright-VERSION-windows-x64.zip   Windows: partwright-cli.exe (MinGW-w64), README, licence
# It builds only what the packages hold, in build/release and build/windows, configured as
# scripts/test.sh configures them, so either script reuses what the other built.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
"$here/setup.sh"

release="$root/build/release"
windows="$root/build/windows"
out="$root/build/package"
jobs="${PARTWRIGHT_JOBS:-$(nproc)}"

echo "== Debian package"
cmake -S "$root" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$release" -j "$jobs" --target partwright_data

echo "== Windows archive"
cmake -S "$root" -B "$windows" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DPARTWRIGHT_GUI=OFF -DPARTWRIGHT_BENCH=OFF -DPARTWRIGHT_TESTS=ON >/dev/null
cmake --build "$windows" -j "$jobs" --target partwright-cli

mkdir -p "$out"
rm -f "$out"/partwright_*.deb "$out"/partwright-*.zip
rm -rf "$release/cpack" "$windows/cpack"
(cd "$release" && cpack -G DEB -B "$release/cpack" >/dev/null)
(cd "$windows" && cpack -G ZIP -B "$windows/cpack" >/dev/null)
cp "$release"/cpack/partwright_*.deb "$windows"/cpack/partwright-*-windows-x64.zip "$out/"

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$out"/partwright_*.deb
ls -l "$out"
