#!/usr/bin/env bash
# Installs what building and testing Partwright needs on Debian 12, when missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libbenchmark-dev libcli11-dev zlib1g-dev libz-mingw-w64-dev
    qt6-base-dev qt6-base-dev-tools qt6-base-private-dev
    g++-mingw-w64-x86-64 wine wine64 nsis
    fonts-liberation xvfb xauth x11-utils librsvg2-bin python3
    xdotool imagemagick python3-xlib
    time clang-format ccache
    libre2-dev unicode-data python3-six
    dpkg-dev lintian desktop-file-utils help2man groff-base bsdextrautils file strace unzip
    miller  # the peer of bench/compare.sh's by-column case; no test needs it
    rust-coreutils  # uutils split, bench/compare.sh's second peer; no test needs it
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
