#!/usr/bin/env bash
# Builds Qt 6.4.2 (qtbase) for 64-bit Windows with MinGW-w64 from Debian's
# qt6-base source package, twice, and leaves two archives in CACHE:
#   qt6-mingw-6.4.2-static.tar.xz   static libraries, for the Windows tests
#   qt6-mingw-6.4.2-shared.tar.xz   DLLs (stripped), for what users get
# Each holds one folder, qt6-mingw/, relocatable.
#   scripts/build-qt-mingw.sh [--configure-only] [CACHE]     (default: ~/.cache/partwright)
# --configure-only fetches and prepares the source and configures both builds,
# then stops: a check, in a few minutes, that the source and the tools fit.
# Fetches the source with APT (adding deb-src in a private APT state when the
# system's sources have none), and needs
# g++-mingw-w64-x86-64, qt6-base-dev-tools (moc, rcc, uic for the host),
# cmake, ninja-build, dpkg-dev and perl (scripts/setup.sh installs them).
# About 35 minutes on two cores; PARTWRIGHT_JOBS sets the parallel jobs.
# The sources and build folders live in CACHE/qt-build and are removed at the end;
# a source package already there (its .dsc and files) is used as it is.
set -euo pipefail
. "$(cd "$(dirname "$0")" && pwd)/debian-source.sh"
configure_only=0
if [ "${1:-}" = --configure-only ]; then
    configure_only=1
    shift
fi
cache="${1:-${XDG_CACHE_HOME:-$HOME/.cache}/partwright}"
jobs="${PARTWRIGHT_JOBS:-$(nproc)}"
package=qt6-base
version=6.4.2+dfsg-10

for tool in apt-get dpkg-source cmake ninja perl x86_64-w64-mingw32-g++-posix /usr/lib/qt6/libexec/moc; do
    if ! command -v "$tool" >/dev/null; then
        echo "build-qt-mingw.sh: $tool is missing; scripts/setup.sh installs it" >&2
        exit 1
    fi
done

mkdir -p "$cache"
work="$cache/qt-build"
mkdir -p "$work"
cd "$work"
rm -rf src build-static build-shared install-static install-shared

echo "== the source: Debian's $package $version"
if ! fetch_debian_source "$work" "$package" "$version"; then
    echo "build-qt-mingw.sh: apt-get could not fetch the source of $package $version." >&2
    echo "Enable deb-src (Debian 12: add 'deb-src' to the 'Types:' line of" >&2
    echo "/etc/apt/sources.list.d/debian.sources, then 'apt-get update'), or put" >&2
    echo "${package}_${version}.dsc with its files into $work and run again." >&2
    exit 1
fi
# Unpacks the upstream tarball and applies Debian's patches.
dpkg-source -x "${package}_${version}.dsc" src >/dev/null

# With OpenGL off, the Windows platform plugin still reaches for OpenGL in
# isSoftwareGl(); only that guard changes.
file=src/src/plugins/platforms/windows/qwindowswindow.cpp
perl -0pi -e 's/(isSoftwareGl\(\)\s*\{\s*)#if QT_CONFIG\(dynamicgl\)\n/$1#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)\n/' "$file"
if ! grep -A3 'isSoftwareGl()' "$file" | grep -qF '#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)'; then
    echo "build-qt-mingw.sh: the isSoftwareGl() guard in $file is not where expected" >&2
    exit 1
fi

cat >mingw.cmake <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN

# Bundled third-party code throughout, so the DLLs need nothing but Windows.
features=(
    -DFEATURE_opengl=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_icu=OFF -DFEATURE_vulkan=OFF -DFEATURE_jpeg=OFF
    # Debian's source leaves out the tablet API header.
    -DFEATURE_tabletevent=OFF
)

for kind in static shared; do
    echo "== Qt for MinGW, $kind"
    started=$SECONDS
    shared=OFF strip=()
    [ "$kind" = shared ] && shared=ON strip=(--strip)
    cmake -G Ninja -S src -B "build-$kind" -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/install-$kind/qt6-mingw" \
        -DQT_HOST_PATH=/usr -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
        -DBUILD_SHARED_LIBS=$shared -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF "${features[@]}" >/dev/null
    if [ $configure_only -eq 1 ]; then
        echo "build-qt-mingw.sh: configured $work/build-$kind in $((SECONDS - started)) s"
        continue
    fi
    nice cmake --build "build-$kind" -j "$jobs"
    cmake --install "build-$kind" "${strip[@]}" >/dev/null
    archive="$cache/qt6-mingw-6.4.2-$kind.tar.xz"
    tar -cJf "$archive.partial" -C "install-$kind" qt6-mingw
    mv "$archive.partial" "$archive"
    rm -rf "build-$kind" "install-$kind"
    echo "build-qt-mingw.sh: $archive, in $(((SECONDS - started) / 60)) minutes"
done

[ $configure_only -eq 1 ] && exit 0
cd "$cache"
rm -rf "$work"
