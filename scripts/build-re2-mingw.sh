#!/usr/bin/env bash
# Builds RE2 (libre2.a, static) for 64-bit Windows with MinGW-w64 from Debian's
# re2 source package, once, into CACHE/re2-mingw-VERSION, and prints that folder
# (an install prefix: include/, lib/libre2.a, lib/cmake/re2/ for find_package).
#   scripts/build-re2-mingw.sh [CACHE]     (default: ~/.cache/partwright)
# Debian has no MinGW RE2; its source builds with the MinGW toolchain in under
# a minute. The +dfsg source lacks three generated tables, made here from
# /usr/share/unicode (unicode-data) with python3. Fetches the source with APT,
# adding deb-src in a private APT state when the system's sources have none.
# Everything but the printed folder goes to stderr.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
. "$here/debian-source.sh"
cache="${1:-${PARTWRIGHT_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/partwright}}"
jobs="${PARTWRIGHT_JOBS:-$(nproc)}"
package=re2
version=20220601+dfsg-1
prefix="$cache/re2-mingw-${version%%+*}"

if [ -f "$prefix/lib/libre2.a" ] && [ -f "$prefix/lib/cmake/re2/re2Config.cmake" ]; then
    echo "$prefix"
    exit 0
fi

for tool in apt-get dpkg-source cmake ninja make python3 x86_64-w64-mingw32-g++-posix; do
    if ! command -v "$tool" >/dev/null; then
        echo "build-re2-mingw.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    fi
done
if [ ! -f /usr/share/unicode/UnicodeData.txt ]; then
    echo "build-re2-mingw.sh: /usr/share/unicode is missing; scripts/setup.sh installs unicode-data" >&2
    exit 1
fi

work="$cache/re2-build"
mkdir -p "$work"
cd "$work"
rm -rf src build "$prefix"

{
    echo "== the source: Debian's $package $version"
    if ! fetch_debian_source "$work" "$package" "$version"; then
        echo "build-re2-mingw.sh: apt-get could not fetch the source of $package $version." >&2
        echo "Enable deb-src, or put ${package}_${version}.dsc with its files into $work and run again." >&2
        exit 1
    fi
    dpkg-source -x "${package}_${version}.dsc" src >/dev/null
    echo "== the generated tables"
    make -C src REBUILD_TABLES=1 re2/perl_groups.cc re2/unicode_groups.cc re2/unicode_casefold.cc >/dev/null
    echo "== libre2.a"
    cmake -S src -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DRE2_BUILD_TESTING=OFF -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build build -j "$jobs" >/dev/null
    cmake --install build >/dev/null
} >&2
rm -rf "$work/src" "$work/build"
echo "$prefix"
