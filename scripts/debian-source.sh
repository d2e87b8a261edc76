# shellcheck shell=bash
# Sourced by the scripts that build a library from Debian's source package:
#   . scripts/debian-source.sh
#   fetch_debian_source FOLDER PACKAGE VERSION
# leaves PACKAGE_VERSION.dsc with its files in FOLDER (the current folder of
# the caller), unless they are there already: with APT's own sources, or,
# when those have no deb-src, with them added in a private APT state in
# FOLDER/apt (the system's sources and lists are left as they are).
# Returns non-zero when neither way fetches it.

fetch_debian_source() {
    local work="$1" package="$2" version="$3"
    [ -f "$work/${package}_${version}.dsc" ] && return 0
    (cd "$work" && apt-get source --download-only "$package=$version" 2>/dev/null) && return 0
    local apt="$work/apt" sources
    rm -rf "$apt"
    mkdir -p "$apt/sources" "$apt/lists/partial"
    for sources in /etc/apt/sources.list.d/*.sources; do
        [ -f "$sources" ] || continue
        sed 's/^Types: deb$/Types: deb deb-src/' "$sources" >"$apt/sources/$(basename "$sources")"
    done
    [ -f /etc/apt/sources.list ] && sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list >"$apt/sources.list"
    touch "$apt/sources.list"
    local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources"
                   -o "Dir::State::Lists=$apt/lists")
    apt-get "${options[@]}" update >/dev/null &&
        (cd "$work" && apt-get "${options[@]}" source --download-only "$package=$version")
}
