#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest (the cross build's emulator):
#   wine-test-run.sh PROGRAM.exe [ARGUMENTS...]
# Under a shared, busy Wine server a program now and then never starts: Wine
# gives up at once, with a failed status and not one byte of output, while
# the program itself printed nothing; and now and then Wine's own loader
# fails an assertion as the process ends ("Inconsistency detected by ld.so"),
# after the program has finished. Only such runs are started again (twice at
# most), and the new run must pass on its own; any other run, passed or
# failed, stands as it is.
# Every retry is noted on stderr and, when PARTWRIGHT_WINE_RETRY_LOG names a
# file, in that file, so the run's log can say that it happened.
set -u
work="$(mktemp -d "${TMPDIR:-/tmp}/wine-test-run.XXXXXX")"
child=0
finish() {
    # Whatever was printed goes out, also when CTest ends the run on a timeout.
    [ "$child" -ne 0 ] && kill "$child" 2>/dev/null
    cat "$work/out"
    cat "$work/err" >&2
    rm -rf "$work"
}
trap 'finish; exit 143' TERM
trap 'finish; exit 130' INT

attempts=3
for ((attempt = 1; ; attempt++)); do
    wine "$@" >"$work/out" 2>"$work/err" &
    child=$!
    wait "$child"
    status=$?
    child=0
    if [ "$status" -eq 0 ] || [ "$attempt" -ge "$attempts" ]; then
        break
    fi
    if [ ! -s "$work/out" ] && [ ! -s "$work/err" ]; then
        why="before printing anything"
    elif grep -q "^Inconsistency detected by ld.so" "$work/err"; then
        why="as Wine's loader failed an assertion at the end"
    else
        break
    fi
    note="wine-test-run.sh: $* exited with status $status $why; started again ($((attempt + 1)) of $attempts)"
    echo "$note" >&2
    if [ -n "${PARTWRIGHT_WINE_RETRY_LOG:-}" ]; then
        echo "$note" >>"$PARTWRIGHT_WINE_RETRY_LOG"
    fi
done
finish
exit "$status"
