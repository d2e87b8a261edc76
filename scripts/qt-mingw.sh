# shellcheck shell=bash
# Sourced by the scripts that build for Windows:
#   . scripts/qt-mingw.sh
#   qt_mingw_archive static|shared   prints the path of that Qt 6.4.2 for MinGW archive
#   qt_mingw_unpack ARCHIVE FOLDER   unpacks it as FOLDER/qt6-mingw (once)
# The archive is, first found first: the one PARTWRIGHT_QT_MINGW_ARCHIVE (static)
# or PARTWRIGHT_QT_MINGW_SHARED_ARCHIVE (shared) names; the team's copy in
# ../shared/qt6-mingw beside the checkout; the cache that
# scripts/build-qt-mingw.sh fills (PARTWRIGHT_QT_CACHE, by default
# ~/.cache/partwright); otherwise scripts/build-qt-mingw.sh builds both
# archives into that cache first, which takes about 35 minutes on two cores.

qt_mingw_cache() {
    echo "${PARTWRIGHT_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/partwright}"
}

qt_mingw_archive() {
    local kind="$1" scripts root name given
    scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
    root="$(cd "$scripts/.." && pwd)"
    name="qt6-mingw-6.4.2-$kind.tar.xz"
    case "$kind" in
        static) given="${PARTWRIGHT_QT_MINGW_ARCHIVE:-}" ;;
        shared) given="${PARTWRIGHT_QT_MINGW_SHARED_ARCHIVE:-}" ;;
        *) echo "qt_mingw_archive: static or shared, not '$kind'" >&2; return 1 ;;
    esac
    if [ -n "$given" ]; then
        [ -f "$given" ] || { echo "no Qt for MinGW at $given" >&2; return 1; }
        echo "$given"
        return
    fi
    local candidate
    for candidate in "$root/../shared/qt6-mingw/$name" "$(qt_mingw_cache)/$name"; do
        if [ -f "$candidate" ]; then
            echo "$candidate"
            return
        fi
    done
    echo "No Qt for MinGW in ../shared/qt6-mingw or $(qt_mingw_cache): building both from Debian's" \
         "qt6-base source with scripts/build-qt-mingw.sh, about 35 minutes on two cores" >&2
    local started=$SECONDS
    "$scripts/build-qt-mingw.sh" "$(qt_mingw_cache)" >&2 || return 1
    echo "Qt for MinGW built in $(((SECONDS - started) / 60)) minutes; the cache keeps it for next time" >&2
    echo "$(qt_mingw_cache)/$name"
}

qt_mingw_unpack() {
    local archive="$1" qt="$2/qt6-mingw"
    [ -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ] && return 0
    # Unpacked aside and moved in whole, so an interrupted unpacking is never taken for a Qt.
    rm -rf "$qt" "$qt.unpacking"
    mkdir -p "$qt.unpacking"
    tar -xJf "$archive" -C "$qt.unpacking"
    mv "$qt.unpacking/qt6-mingw" "$qt"
    rmdir "$qt.unpacking"
}
