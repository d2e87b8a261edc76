# Sourced by the scripts that run Windows programs under Wine:
#   . scripts/wine-prefix.sh
#   wine_prefix_start FOLDER   makes FOLDER (new or empty) a Wine prefix and exports WINE* for it
#   wine_prefix_stop           ends every process of the prefix, then its server
# The caller removes FOLDER (after wine_prefix_stop) in its own exit trap.

wine_prefix_start() {
    mkdir -p "$1"
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG=-all
    # No .NET or HTML engine: nothing here needs them, and Wine would try to
    # install them into the fresh prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # A server started first, detached and holding none of our descriptors,
    # keeps a test runner from waiting on pipes that a server started by a
    # program would inherit.
    (wineserver -p </dev/null >/dev/null 2>&1 &)
    # Wait until it listens: a program started before that starts a server of
    # its own, one that is not persistent and ends between two programs while
    # a third may be starting.
    local tries
    for ((tries = 0; tries < 300; tries++)); do
        [ -S "$(wine_server_socket)" ] && break
        sleep 0.1
    done
    if ! timeout 180 wine cmd /c exit </dev/null >/dev/null 2>&1; then
        echo "Wine could not create its prefix in $WINEPREFIX" >&2
        return 1
    fi
}

# Where the prefix's server listens. Debian's Wine names the server's folder
# in the prefix; upstream Wine uses /tmp/.wine-UID.
wine_server_socket() {
    local id
    id="$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
    if [ -s "$WINEPREFIX/wineserver" ]; then
        echo "/tmp/$(cat "$WINEPREFIX/wineserver")/$id/socket"
    else
        echo "/tmp/.wine-$(id -u)/$id/socket"
    fi
}

wine_prefix_stop() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    timeout 30 wineserver -w >/dev/null 2>&1 || true
}
