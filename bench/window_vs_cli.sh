#!/usr/bin/env bash
# Times the window's run against the command line's on the same generated
# sources and prints, per work, the best wall time of 5 runs of each (taken by
# turns), the ratio window/command line, the same for CPU time (user + system:
# less disturbed by other work on a shared machine), and how alive the window
# stayed (the longest wait for event handling and the longest time without a
# change of the progress display, both in milliseconds, over the window's runs).
#
#   bench/window_vs_cli.sh [--quick] [--build DIR]
#
# --quick   sources 1/8 of the full size, for a fast look
# --build   the build folder holding cli/partwright-cli and bench/window_run_bench
#           (default: build/release)
#
# The window's time runs from the click on Split! to the end box; it runs
# under Xvfb on the X (xcb) platform, as a user's window would, since the
# offscreen platform hides the cost of handling events. The command line's time
# is the whole process. Sources and pieces live in a fresh folder on /dev/shm.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/release"
scale=1
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) scale=8 ;;
        --build) build="$2"; shift ;;
        *) echo "usage: $0 [--quick] [--build DIR]" >&2; exit 2 ;;
    esac
    shift
done
build="$(realpath "$build")"
cli="$build/cli/partwright-cli"
window="$build/bench/window_run_bench"
for program in "$cli" "$window"; do
    [ -x "$program" ] || { echo "no program at $program: build it first" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "GNU time is missing: scripts/setup.sh installs it" >&2; exit 2; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: scripts/setup.sh installs it" >&2; exit 2; }

work="$(mktemp -d /dev/shm/partwright-window-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
runs=5

mkdir -p "$work/short" "$work/long"
short_lines=$((200000 / scale))
awk -v n="$short_lines" 'BEGIN { for (i = 1; i <= n; i++) printf "line %06d\r\n", i }' >"$work/short/short.txt"
# Long lines of 150 to 400 characters, CR LF, up to 256 MiB.
long_bytes=$((256 * 1024 * 1024 / scale))
awk -v total="$long_bytes" 'BEGIN {
    srand(11); s = "";
    for (i = 0; i < 400; i++) s = s sprintf("%c", 97 + (i * 7) % 26);
    for (n = 0; written < total; n++) {
        line = sprintf("%08d %s", n, substr(s, 1 + n % 13, 150 + int(rand() * 250)));
        printf "%s\r\n", line; written += length(line) + 2;
    }
}' >"$work/long/long.txt"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# Runs the command line and the window by turns, inside one Xvfb session, so
# that both meet the same state of the machine (other work, tmpfs) rather than
# one tool's runs all coming first. The command line's wall time is read in
# nanoseconds around GNU time (whose own has 10 ms steps). Prints one line
# per run:
#   cli SECONDS CPU-SECONDS PIECES
#   window SECONDS CPU-SECONDS EVENT-MS PROGRESS-MS PIECES
runs_by_turns() {  # runs_by_turns FOLDER NAME LINES
    mkdir -p -m 700 "$work/runtime"
    xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" bash -c '
        cli=$0 window=$1 folder=$2 name=$3 lines=$4 runs=$5 times=$6
        pieces() { find "$folder" -type f -name "$name-*" | wc -l; }
        clear() { find "$folder" -type f -name "$name-*" -delete; }
        for ((i = 0; i < runs; i++)); do
            start=$(date +%s%N)
            /usr/bin/time -f "%U %S" -o "$times" "$cli" --quiet --lines "$lines" "$folder/$name.txt" || exit 1
            end=$(date +%s%N)
            awk -v ns=$((end - start)) -v pieces="$(pieces)" \
                "{ printf \"cli %.3f %.3f %d\\n\", ns / 1e9, \$1 + \$2, pieces }" "$times"
            clear
            window_line=$("$window" --lines "$lines" "$folder/$name.txt") || exit 1
            echo "window $window_line"
            clear
        done' "$cli" "$window" "$1" "$2" "$3" "$runs" "$work/time.tmp"
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "scale:   1/$scale"
echo
printf '%-40s %8s %7s %6s %8s %7s %6s %8s %8s %7s\n' "work" "window s" "cli s" "ratio" \
    "win cpu" "cli cpu" "ratio" "event ms" "progr ms" "pieces"

bench() {  # bench LABEL FOLDER NAME LINES
    local out cli_out window_out
    out=$(runs_by_turns "$2" "$3" "$4")
    cli_out=$(echo "$out" | awk '$1 == "cli" { print $2, $3, $4 }')
    window_out=$(echo "$out" | awk '$1 == "window" { print $2, $3, $4, $5, $6 }')
    local cli_best window_best cli_cpu window_cpu events progress cli_pieces window_pieces
    cli_best=$(echo "$cli_out" | sort -n | head -1 | cut -d' ' -f1)
    cli_cpu=$(echo "$cli_out" | sort -n -k2 | head -1 | cut -d' ' -f2)
    cli_pieces=$(echo "$cli_out" | head -1 | cut -d' ' -f3)
    window_best=$(echo "$window_out" | sort -n | head -1 | cut -d' ' -f1)
    window_cpu=$(echo "$window_out" | sort -n -k2 | head -1 | cut -d' ' -f2)
    events=$(echo "$window_out" | sort -n -k3 | tail -1 | cut -d' ' -f3)
    progress=$(echo "$window_out" | sort -n -k4 | tail -1 | cut -d' ' -f4)
    window_pieces=$(echo "$window_out" | head -1 | cut -d' ' -f5)
    printf '%-40s %8s %7s %6s %8s %7s %6s %8s %8s %7s\n' "$1" "$window_best" "$cli_best" \
        "$(ratio "$window_best" "$cli_best")" "$window_cpu" "$cli_cpu" "$(ratio "$window_cpu" "$cli_cpu")" \
        "$events" "$progress" "$window_pieces"
    if [ "$cli_pieces" != "$window_pieces" ]; then
        echo "   MISMATCH: the command line wrote $cli_pieces pieces, the window $window_pieces" >&2
        mismatch=1
    fi
}

bench "$short_lines short lines, 1-line pieces" "$work/short" short 1
bench "$((long_bytes >> 20)) MiB long lines, 10000-line pieces" "$work/long" long 10000
exit "${mismatch:-0}"
