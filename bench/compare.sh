#!/usr/bin/env bash
# Times partwright-cli against GNU split and, where it is installed, uutils
# split (Debian's rust-coreutils) on the same generated inputs, beside a floor
# measured in the same sitting: what the machine needs to move the same bytes
# or to publish as many pieces at the least. Per case it prints the mean wall
# time of 7 runs of each (taken by turns: ours, split, uu, floor, ours, ...),
# the ratios of the means ours/split, ours/uu and ours/floor, the mean CPU time
# and the largest peak memory of each tool, and below it the best run of each.
#
#   bench/compare.sh [--quick] [--runs N] [--cli PATH] [--publish-bench PATH]
#                    [--threads N] [--only CASES]
#
# --quick    inputs 1/16 of the full size, for a fast look
# --runs     runs of each tool and of the floor per case (default 7, at least 1)
# --cli      the program to time (default: build/release/cli/partwright-cli)
# --publish-bench
#            the floor of one-line pieces (default:
#            build/release/bench/publish_bench); without it that floor is not measured
# --threads  passed on to partwright-cli as --threads N in every case
#            (default: not passed, the program's own choice)
# --only     the cases to time, separated by commas (such as 2s,4); sources
#            that no wanted case reads are not made
#
# Cases: 1a 1b 2 2s 3 4 5 6 6b 7 8 8b 9 10 11 12. The load average is printed at the start
# and at the end: other work on the machine stretches the wall times.
#
# The floor of a case that moves a source's bytes into pieces is two cp of the
# source's two halves side by side (two processes, onto tmpfs; the halves are
# made beside the source once, untimed): the machine's two cores copying the
# same bytes with nothing else to do. The floor of one-line pieces (2, 2s) is
# publish_bench's bare calls on two threads (open(O_TMPFILE), write, linkat,
# close; 60000 pieces a run, whatever the case's count), its wall time a
# piece times the case's pieces; the same for open, write, close (what split
# does) is printed below as a second figure. Case 9 (gzip) has no floor:
# compressing costs far more than moving the bytes.
#
# Everything is made in a fresh folder on /dev/shm (tmpfs: creating many
# files on the root file system here slows down after mass deletes) and
# removed at the end. The full run needs about 3 GiB of memory there.
# Cases 4, 5, 10 and 11 use the source of case 1 with its CRs taken out (11
# with a heading every 1000 lines; its peer is csplit).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cli="$root/build/release/cli/partwright-cli"
publish_bench="$root/build/release/bench/publish_bench"
scale=1
runs=7
only=""
threads=()
usage="usage: $0 [--quick] [--runs N] [--cli PATH] [--publish-bench PATH] [--threads N] [--only CASES]"
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) scale=16 ;;
        --runs)
            [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || { echo "$usage (N: a whole number, at least 1)" >&2; exit 2; }
            runs=$2; shift ;;
        --cli) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; cli="$2"; shift ;;
        --publish-bench)
            [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
            [ -x "$2" ] || { echo "no program at $2" >&2; exit 2; }
            publish_bench="$2"; shift ;;
        --threads)
            [[ $# -ge 2 && "$2" =~ ^[0-9]+$ ]] || { echo "$usage (N: a whole number)" >&2; exit 2; }
            threads=(--threads "$2"); shift ;;
        --only) [[ $# -ge 2 && -n "$2" ]] || { echo "$usage" >&2; exit 2; }; only=",$2,"; shift ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done
all_cases=",1a,1b,2,2s,3,4,5,6,6b,7,8,8b,9,10,11,12,"
if [ -n "$only" ]; then
    IFS=, read -ra only_ids <<<"${only:1:-1}"
    for id in "${only_ids[@]}"; do
        [[ -n "$id" && "$all_cases" == *",$id,"* ]] || { echo "no case \"$id\" (cases: ${all_cases:1:-1})" >&2; exit 2; }
    done
fi
# wanted ID...: whether any of the cases ID is to be timed.
wanted() {
    local id
    [ -z "$only" ] && return 0
    for id in "$@"; do [[ "$only" == *",$id,"* ]] && return 0; done
    return 1
}
# uutils split, the second peer: a link into the coreutils multi-call program,
# which acts on the name it is called by. Its columns show "-" where it is missing.
uu=/usr/lib/cargo/bin/coreutils/split
[ -x "$uu" ] || uu=""
cli="$(realpath "$cli")"
[ -x "$cli" ] || { echo "no program at $cli: build it first (scripts/build.sh build/release)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: apt-get install time" >&2; exit 2; }
# uutils' package puts its programs in a folder of their own; a PATH that led
# to its split instead would make both peers the same program.
split --version 2>/dev/null | head -1 | grep -q 'GNU coreutils' ||
    { echo "split on PATH ($(command -v split)) is not GNU split" >&2; exit 2; }
if [ -x "$publish_bench" ]; then publish_bench="$(realpath "$publish_bench")"; else publish_bench=""; fi

work="$(mktemp -d /dev/shm/partwright-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mismatch=0

# One block of ASCII CR LF lines of varied length (20 to 99 characters), about 1 MiB.
make_chunk() {
    awk 'BEGIN {
        srand(7); s = "";
        for (i = 0; i < 120; i++) s = s sprintf("%c", 97 + (i * 7) % 26);
        for (n = 0; n < 17500; n++) printf "%07d %s\r\n", n, substr(s, 1 + n % 17, 12 + int(rand() * 80));
    }' >"$1"
}

# One block of mixed-script UTF-8 CR LF lines (Latin with accents, Greek,
# Cyrillic, Arabic, CJK and emoji; characters of one to four bytes), about 1 MiB.
make_utf8_chunk() {
    python3 - "$1" <<'PY'
import random, sys
random.seed(7)
words = ["café", "naïve", "Straße", "żółw", "λόγος", "θάλασσα", "город", "книга", "مرحبا", "كتاب",
         "日本語", "文字化け", "中文", "한국어", "text", "line", "piece", "split", "😀", "🎉", "👍🏽", "🚀✨"]
with open(sys.argv[1], "w", encoding="utf-8", newline="") as out:
    for n in range(12000):
        line = "%07d" % n
        target = random.randint(20, 99)
        while len(line) < target:
            line += " " + random.choice(words)
        out.write(line + "\r\n")
PY
}

# repeat FILE TIMES > OUT
repeat() {
    local i
    for ((i = 0; i < $2; i++)); do cat "$1"; done
}

# timed OUTFILE COMMAND...: runs COMMAND, appends "wall-seconds peak-KiB cpu-seconds" to OUTFILE.
# GNU time gives peak memory and CPU time; the wall time is read from the
# clock in nanoseconds around it, since time's own has only 10 ms steps (3 %
# of a 0.35 s run).
timed() {
    local out=$1 start end; shift
    start=$(date +%s%N)
    /usr/bin/time -f "%M %U %S" -o "$work/time.tmp" "$@" >/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) '{ printf "%.3f %s %.2f\n", ns / 1e9, $1, $2 + $3 }' "$work/time.tmp" >>"$out"
}

# Each times file holds a line a run: "wall-seconds peak-KiB cpu-seconds"
# (a floor worked out from publish_bench's figures has the wall time only).
mean_time() { awk '{ s += $1 } END { if (NR) printf "%.3f", s / NR }' "$1"; }
best_time() { sort -n "$1" | head -1 | cut -d' ' -f1; }
mean_cpu() { awk '{ s += $3 } END { if (NR) printf "%.2f", s / NR }' "$1"; }
peak_mib() { sort -n -k2 "$1" | tail -1 | awk '{ printf "%.1f", $2 / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

# Wall time is what counts; CPU time (user + system) is shown beside it
# because other work on a shared machine stretches wall time. "uu" is uutils
# split; "-" where it is not installed or has no counterpart, and where no
# floor was measured.
row_format='%-47s %7s %7s %7s %7s %7s %7s %7s %6s %6s %6s %6s %6s %6s\n'
header() {
    echo "times are means of $runs runs (s), by turns; cpu the mean user + system time (s); MiB the largest peak;"
    echo "floor: two cp of the source's halves side by side (one-line pieces: publish_bench, see below the case)"
    # shellcheck disable=SC2059 # the format is ours
    printf "$row_format" "case" "ours s" "split s" "uu s" "floor s" "o/split" "o/uu" "o/floor" \
        "o cpu" "s cpu" "u cpu" "o MiB" "s MiB" "u MiB"
}
# cell FUNCTION TIMES: FUNCTION of the runs in TIMES, or "-" when it holds none.
cell() { if [ -s "$2" ]; then "$1" "$2"; else echo "-"; fi; }
# ratio_cell OURS-MEAN TIMES: ours against the mean of TIMES, or "-".
ratio_cell() { if [ -s "$2" ]; then ratio "$1" "$(mean_time "$2")"; else echo "-"; fi; }

# report NAME OURS-TIMES PEER-TIMES UU-TIMES FLOOR-TIMES [PEER-NAME]: a row of
# means, then a line with the best run of each. The floor measures the
# machine, not a tool: it has no CPU or memory columns.
report() {
    local ours best
    ours=$(mean_time "$2")
    # shellcheck disable=SC2059
    printf "$row_format" "$1" "$ours" "$(cell mean_time "$3")" "$(cell mean_time "$4")" "$(cell mean_time "$5")" \
        "$(ratio_cell "$ours" "$3")" "$(ratio_cell "$ours" "$4")" "$(ratio_cell "$ours" "$5")" \
        "$(mean_cpu "$2")" "$(cell mean_cpu "$3")" "$(cell mean_cpu "$4")" \
        "$(peak_mib "$2")" "$(cell peak_mib "$3")" "$(cell peak_mib "$4")"
    best="ours $(best_time "$2")"
    [ -s "$3" ] && best+=", ${6:-split} $(best_time "$3")"
    [ -s "$4" ] && best+=", uu $(best_time "$4")"
    [ -s "$5" ] && best+=", floor $(best_time "$5")"
    echo "   best of $runs: $best s"
}

count_files() { find "$1" -type f -name "$2" | wc -l; }
largest_file() { find "$1" -type f -name "$2" -printf '%s\n' | sort -n | tail -1; }
total_bytes() { find "$1" -type f -name "$2" -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }'; }

# copy_floor_turn SOURCE TIMES: one run of the floor of SOURCE, appended to
# TIMES: its two halves copied side by side by two cp processes onto tmpfs,
# timed as one command. The halves are made beside SOURCE on the first call
# (untimed) and go with its folder; their names match no case's pieces.
copy_floor_turn() {
    local size
    if [ ! -e "$1.floor-2" ]; then
        size=$(stat -c %s "$1")
        head -c $((size / 2)) "$1" >"$1.floor-1"
        tail -c +$((size / 2 + 1)) "$1" >"$1.floor-2"
    fi
    mkdir -p "$work/floor"
    # shellcheck disable=SC2016 # the positional parameters are the inner shell's
    timed "$2" sh -c 'cp "$1" "$3" & first=$!; cp "$2" "$4" && wait "$first"' \
        sh "$1.floor-1" "$1.floor-2" "$work/floor/1" "$work/floor/2"
    rm -rf "$work/floor"
}

# publish_floor_turn PIECES LINKED-TIMES NAMED-TIMES: one run of publish_bench's
# two-thread benchmarks; its wall time a piece times PIECES is appended to
# LINKED-TIMES (open(O_TMPFILE), write, linkat, close) and to NAMED-TIMES
# (open, write, close). Nothing is appended when it is missing or fails.
publish_floor_turn() {
    [ -n "$publish_bench" ] || return 0
    local filter='^(UnnamedFileLinked|NamedFileFilled)/iterations:[0-9]+/real_time/threads:2$'
    # Its real time an iteration is the run's wall time over the pieces of both
    # threads together: the wall time a piece.
    "$publish_bench" --benchmark_filter="$filter" --benchmark_format=csv 2>"$work/publish.err" |
        awk -F, -v pieces="$1" -v linked="$2" -v named="$3" '
            $1 ~ /^"(UnnamedFileLinked|NamedFileFilled)\// && $5 != "" {
                unit = $5; gsub(/"/, "", unit)
                scale = unit == "ns" ? 1e-9 : unit == "us" ? 1e-6 : unit == "ms" ? 1e-3 : 1
                printf "%.3f\n", $3 * scale * pieces >> ($1 ~ /^"Unnamed/ ? linked : named)
            }' || echo "   publish_bench failed: $(tail -1 "$work/publish.err")" >&2
}

# floor_turn FLOOR SOURCE: one run of a case's floor into $work/floor.times
# (and, for one-line pieces, $work/named.times). FLOOR is "copy" or "pieces:N"
# (N one-line pieces).
floor_turn() {
    case "$1" in
        copy) copy_floor_turn "$2" "$work/floor.times" ;;
        pieces:*) publish_floor_turn "${1#pieces:}" "$work/floor.times" "$work/named.times" ;;
        *) echo "no floor \"$1\"" >&2; exit 2 ;;
    esac
}

# run_case NAME SOURCE OURS-GLOB "SPLIT-OPTIONS" FLOOR partwright-cli options...
# Times our program (pieces land beside SOURCE), `split SPLIT-OPTIONS`,
# uutils split with the same options (pieces in a folder of their own) and
# the FLOOR (see floor_turn), by turns, clearing the pieces after every run.
run_case() {
    local name=$1 source=$2 glob=$3 split_options=$4 floor=$5; shift 5
    local ours="$work/ours.times" theirs="$work/split.times" uus="$work/uu.times"
    : >"$ours"; : >"$theirs"; : >"$uus"; : >"$work/floor.times"; : >"$work/named.times"
    local i
    for ((i = 0; i < runs; i++)); do
        timed "$ours" "$cli" --quiet "${threads[@]}" "$@" "$source"
        last_ours_files=$(count_files "$(dirname "$source")" "$glob")
        last_ours_bytes=$(total_bytes "$(dirname "$source")" "$glob")
        last_ours_largest=$(largest_file "$(dirname "$source")" "$glob")
        find "$(dirname "$source")" -type f -name "$glob" -delete

        mkdir -p "$work/split"
        # shellcheck disable=SC2086 # the options are words on purpose
        timed "$theirs" split $split_options -a 6 "$source" "$work/split/x"
        last_split_files=$(count_files "$work/split" 'x*')
        last_split_bytes=$(total_bytes "$work/split" 'x*')
        rm -rf "$work/split"

        if [ -n "$uu" ]; then
            mkdir -p "$work/uu"
            # shellcheck disable=SC2086
            timed "$uus" "$uu" $split_options -a 6 "$source" "$work/uu/x"
            last_uu_files=$(count_files "$work/uu" 'x*')
            rm -rf "$work/uu"
        fi

        floor_turn "$floor" "$source"
    done
    report "$name" "$ours" "$theirs" "$uus" "$work/floor.times"
    # A note, not a failure: the peers are references, not what is checked.
    if [ -n "$uu" ] && [ "$last_uu_files" -ne "$last_split_files" ]; then
        echo "   note: uutils split wrote $last_uu_files pieces, GNU split $last_split_files"
    fi
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/^Mem:/ { print $2 }') GiB"
echo "program: $cli, threads: ${threads[1]:-not passed (its own choice)}"
if [ -n "$uu" ]; then uu_version="uutils $("$uu" --version | head -1)"; else uu_version="uutils split not installed (Debian: rust-coreutils)"; fi
echo "peers:   $(split --version | head -1); $uu_version"
if [ -n "$only" ]; then echo "cases:   ${only:1:-1}"; else echo "cases:   all"; fi
echo "scale:   1/$scale"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the start"
echo
# finish: the load at the end, then the exit status of the checks.
finish() {
    echo
    echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the end"
    exit "$mismatch"
}

# Sources are made only for the cases that read them: big.txt for 1a and 1b
# and, with its CRs taken out, for 4, 5, 10 and 11.
make_chunk "$work/chunk"
chunk_bytes=$(stat -c %s "$work/chunk")
if wanted 1a 1b 4 5 10 11; then
    mkdir -p "$work/big"
    big_chunks=$(( (1024 * 1024 * 1024 / scale + chunk_bytes - 1) / chunk_bytes ))
    repeat "$work/chunk" "$big_chunks" >"$work/big/big.txt"
    big_bytes=$(stat -c %s "$work/big/big.txt")
fi

# make_lines FILE N: N short CR LF lines "line NNNNNN".
make_lines() {
    mkdir -p "$(dirname "$1")"
    awk -v n="$2" 'BEGIN { for (i = 1; i <= n; i++) printf "line %06d\r\n", i }' >"$1"
}
short_lines=$((200000 / scale))
wanted 2 && make_lines "$work/short/short.txt" "$short_lines"
few_lines=$((60000 / scale))
wanted 2s && make_lines "$work/few/few.txt" "$few_lines"

if wanted 3; then
    mkdir -p "$work/wide"
    wide_chunks=$(( (200 * 1024 * 1024 / 2 / scale + chunk_bytes - 1) / chunk_bytes ))
    { printf '\xff\xfe'; repeat "$work/chunk" "$wide_chunks" | iconv -f ASCII -t UTF-16LE; } >"$work/wide/wide.txt"
    wide_bytes=$(stat -c %s "$work/wide/wide.txt")
fi
rm -f "$work/chunk"

header

# check_same_pieces SOURCE: after 10000-line pieces of SOURCE, both tools
# must have written every byte of it in as many pieces. Our pieces join back
# into the source, as split's do. (With --no-final-line-end, and in builds
# before it, ours carry no line end behind their last line, except our last
# piece, which ends with the source's own final CR LF when the lines do not
# fill it: the appended CR LF makes an empty last line.)
check_same_pieces() {
    local source_bytes lines dropped
    source_bytes=$(stat -c %s "$1")
    lines=$(tr -cd '\n' <"$1" | wc -c)
    dropped=$last_ours_files
    [ $((lines % 10000)) -ne 0 ] && dropped=$((dropped - 1))
    [ "$last_ours_bytes" -eq "$last_split_bytes" ] && dropped=0
    echo "   pieces: ours $last_ours_files, split $last_split_files;" \
         "bytes: ours $last_ours_bytes + 2 x $dropped line ends = $((last_ours_bytes + 2 * dropped)), split $last_split_bytes," \
         "source $source_bytes"
    if [ "$last_ours_files" -ne "$last_split_files" ] || [ "$last_split_bytes" -ne "$source_bytes" ] || \
       [ $((last_ours_bytes + 2 * dropped)) -ne "$last_split_bytes" ]; then
        echo "   MISMATCH: the two tools did not cut the same pieces" >&2
        mismatch=1
    fi
}

# Cases without options of their own run with the defaults: whole sources,
# code page auto, each source's own line end.
if wanted 1a; then
    run_case "1a $((big_bytes >> 20)) MiB, 10000-line pieces" \
        "$work/big/big.txt" 'big-*' "-l 10000" copy --lines 10000
    check_same_pieces "$work/big/big.txt"
fi

# The blocks rule gives at least one piece per 30000-byte block, 20 times as
# many files as 1a; split -b 30000 makes about as many files from the same
# bytes, so its time is the fair reference for that work.
if wanted 1b; then
    run_case "1b same source, --blocks; split -b 30000" \
        "$work/big/big.txt" 'big-*' "-b 30000" copy --blocks --lines 10000
    echo "   pieces: ours $last_ours_files (one or more per 30000-byte block), split $last_split_files"
fi

# one_line_case ID SOURCE GLOB LINES: LINES one-line pieces of SOURCE.
one_line_case() {
    run_case "$(printf '%-2s' "$1") $4 short lines, 1-line pieces (tmpfs)" \
        "$2" "$3" "-l 1" "pieces:$4" --lines 1
    echo "   pieces: ours $last_ours_files, split $last_split_files"
    if [ -s "$work/floor.times" ]; then
        echo "   floor: publish_bench's open(O_TMPFILE), write, linkat, close on 2 threads," \
             "$(awk -v s="$(mean_time "$work/floor.times")" -v n="$4" 'BEGIN { printf "%.2f", s / n * 1e6 }') us a piece x $4"
        echo "   informative, as split names them (open, write, close on 2 threads): $(mean_time "$work/named.times") s," \
             "ours / that $(ratio "$(mean_time "$work/ours.times")" "$(mean_time "$work/named.times")")"
    elif [ -z "$publish_bench" ]; then
        echo "   floor: not measured (no publish_bench: build the release tree, or give --publish-bench)"
    else
        echo "   floor: not measured (publish_bench gave no two-thread figures)"
    fi
    if [ "$last_ours_files" -ne "$4" ] || [ "$last_split_files" -ne "$4" ]; then
        echo "   MISMATCH: expected $4 pieces from each" >&2
        mismatch=1
    fi
}
wanted 2 && one_line_case 2 "$work/short/short.txt" 'short-*' "$short_lines"
rm -rf "$work/short"
# The same with fewer pieces: how the cost per piece holds as the folder grows.
wanted 2s && one_line_case 2s "$work/few/few.txt" 'few-*' "$few_lines"
rm -rf "$work/few"

if wanted 3; then
    run_case "3  $((wide_bytes >> 20)) MiB UTF-16, 10000-line pieces" \
        "$work/wide/wide.txt" 'wide-*' "-l 10000" copy --lines 10000
    echo "   pieces: ours $last_ours_files, split $last_split_files (split cuts the raw bytes at LF: a reference only)"
fi
rm -rf "$work/wide"

# The same lines with LF line ends, as most files on Linux and out of Git have them.
if wanted 4 5 10 11; then
    mkdir -p "$work/lf"
    tr -d '\r' <"$work/big/big.txt" >"$work/lf/lf.txt"
    lf_bytes=$(stat -c %s "$work/lf/lf.txt")
    lf_lines=$(tr -cd '\n' <"$work/lf/lf.txt" | wc -c)
fi
rm -rf "$work/big"

if wanted 4; then
    run_case "4  $((lf_bytes >> 20)) MiB LF, 10000-line pieces" \
        "$work/lf/lf.txt" 'lf-*' "-l 10000" copy --lines 10000
    lf_lines_mean=$(mean_time "$work/ours.times")
    dropped=$last_ours_files
    [ $((lf_lines % 10000)) -ne 0 ] && dropped=$((dropped - 1))
    [ "$last_ours_bytes" -eq "$last_split_bytes" ] && dropped=0  # pieces that join back
    echo "   pieces: ours $last_ours_files, split $last_split_files;" \
         "bytes: ours $last_ours_bytes + $dropped line ends = $((last_ours_bytes + dropped)), split $last_split_bytes"
    if [ "$last_ours_files" -ne "$last_split_files" ] || [ $((last_ours_bytes + dropped)) -ne "$last_split_bytes" ]; then
        echo "   MISMATCH: the two tools did not cut the same pieces" >&2
        mismatch=1
    fi
fi

# split -C counts the LF behind a piece's last line, ours does not (it is not
# written), so ours may hold a line more now and then: the counts differ a little.
if wanted 5; then
    run_case "5  same LF source, pieces of at most 1 MiB" \
        "$work/lf/lf.txt" 'lf-*' "-C 1M" copy --max-bytes 1M
    echo "   pieces: ours $last_ours_files (largest $last_ours_largest bytes), split $last_split_files"
    if wanted 4; then
        echo "   at most 1 MiB / 10000-line pieces (case 4): $(ratio "$(mean_time "$work/ours.times")" "$lf_lines_mean")"
    fi
    if [ "$last_ours_largest" -gt 1048576 ]; then
        echo "   MISMATCH: a piece of ours is larger than 1 MiB" >&2
        mismatch=1
    fi
fi
# N pieces of near-equal size at whole lines: split -n l/8 cuts at the first
# LF at or after each eighth of the bytes too, so the pieces should be the same.
if wanted 10; then
    run_case "10 same LF source, --parts 8; split -n l/8" \
        "$work/lf/lf.txt" 'lf-*' "-n l/8" copy --parts 8
    echo "   pieces: ours $last_ours_files, split $last_split_files; bytes: ours $last_ours_bytes, split $last_split_bytes"
    if [ "$last_ours_files" -ne 8 ] || [ "$last_ours_bytes" -ne "$last_split_bytes" ]; then
        echo "   MISMATCH: expected 8 pieces holding the source's bytes" >&2
        mismatch=1
    fi
fi

# A log with a heading every 1000 lines, cut before each heading; the peer is
# csplit -z, which leaves out the empty piece before the first heading as ours does.
if wanted 11; then
    mkdir -p "$work/log"
    awk 'NR % 1000 == 1 { printf "== section %d\n", NR } { print }' "$work/lf/lf.txt" >"$work/log/log.txt"
    log_bytes=$(stat -c %s "$work/log/log.txt")
    log_headings=$(grep -c '^== ' "$work/log/log.txt")
    : >"$work/ours.times"; : >"$work/csplit.times"; : >"$work/floor.times"
    for ((i = 0; i < runs; i++)); do
        timed "$work/ours.times" "$cli" --quiet "${threads[@]}" --match '^== ' "$work/log/log.txt"
        last_ours_files=$(count_files "$work/log" 'log-*')
        last_ours_bytes=$(total_bytes "$work/log" 'log-*')
        find "$work/log" -type f -name 'log-*' -delete
        mkdir -p "$work/csplit"
        timed "$work/csplit.times" csplit -s -z -n 6 -f "$work/csplit/x" "$work/log/log.txt" '/^== /' '{*}'
        last_csplit_files=$(count_files "$work/csplit" 'x*')
        rm -rf "$work/csplit"
        floor_turn copy "$work/log/log.txt"
    done
    report "11 $((log_bytes >> 20)) MiB log, --match; csplit -z" "$work/ours.times" "$work/csplit.times" /dev/null \
        "$work/floor.times" csplit
    echo "   pieces: ours $last_ours_files, csplit $last_csplit_files, headings $log_headings;" \
         "bytes: ours $last_ours_bytes, source $log_bytes"
    if [ "$last_ours_files" -ne "$log_headings" ] || [ "$last_csplit_files" -ne "$log_headings" ] || \
       [ "$last_ours_bytes" -ne "$log_bytes" ]; then
        echo "   MISMATCH: expected a piece a heading, holding the source's bytes" >&2
        mismatch=1
    fi
    rm -rf "$work/log"
fi
rm -rf "$work/lf"

# Valid UTF-8 is its own UTF-8: cut as raw bytes, checked as it goes.
if wanted 6 6b; then
    mkdir -p "$work/utf8"
    make_utf8_chunk "$work/utf8chunk"
    utf8_chunk_bytes=$(stat -c %s "$work/utf8chunk")
    utf8_chunks=$(( (1024 * 1024 * 1024 / scale + utf8_chunk_bytes - 1) / utf8_chunk_bytes ))
    repeat "$work/utf8chunk" "$utf8_chunks" >"$work/utf8/utf8.txt"
    utf8_bytes=$(stat -c %s "$work/utf8/utf8.txt")
    rm -f "$work/utf8chunk"
fi
if wanted 6; then
    run_case "6  $((utf8_bytes >> 20)) MiB UTF-8, mixed scripts + emoji, 10000-line" \
        "$work/utf8/utf8.txt" 'utf8-*' "-l 10000" copy --lines 10000
    check_same_pieces "$work/utf8/utf8.txt"
    auto_mean=$(mean_time "$work/ours.times")
fi
# The same with the code page named, for the cost of recognising UTF-8.
if wanted 6b; then
    run_case "6b same source, --codepage utf-8" \
        "$work/utf8/utf8.txt" 'utf8-*' "-l 10000" copy --codepage utf-8 --lines 10000
    if wanted 6; then
        echo "   code page auto / utf-8: $(ratio "$auto_mean" "$(mean_time "$work/ours.times")")"
    fi
fi
rm -rf "$work/utf8"

# CSV records: the same source cut with --csv (records, quoted line breaks
# kept inside) and without (lines). About a third of the fields are quoted,
# some holding commas, doubled quotes and CR LFs. split -l cuts lines, so its
# pieces are a reference for the time only.
make_csv() {
    python3 - "$1" "$2" <<'PY'
import random, sys
random.seed(11)
with open(sys.argv[1], "w", newline="") as out:
    out.write("id,name,city,amount,note\r\n")
    rows = []
    for n in range(9000):
        note = random.choice(['plain', '"said ""hi"", left"', '"two\r\nlines"', '"a, b, c"', ''])
        name = random.choice(['Ann', '"Smith, J."', 'Bo', '"O\'Neil"'])
        rows.append("%d,%s,%s,%d.%02d,%s\r\n" % (n, name, random.choice(['Oslo', 'Lyon', '"Rio, BR"']),
                                                  random.randint(0, 9999), random.randint(0, 99), note))
    chunk = "".join(rows)
    for _ in range(int(sys.argv[2]) // len(chunk) + 1):
        out.write(chunk)
PY
}
if wanted 8 8b; then
    mkdir -p "$work/csv"
    make_csv "$work/csv/data.csv" $((1024 * 1024 * 1024 / scale))
    csv_bytes=$(stat -c %s "$work/csv/data.csv")
fi
if wanted 8; then
    run_case "8  $((csv_bytes >> 20)) MiB CSV, --csv 100000 records + header" \
        "$work/csv/data.csv" 'data-*' "-l 100000" copy --csv --lines 100000 --header 1
    csv_mean=$(mean_time "$work/ours.times")
    echo "   pieces: ours $last_ours_files (records), split $last_split_files (lines)"
fi
if wanted 8b; then
    run_case "8b same source, 100000 lines + header, no --csv" \
        "$work/csv/data.csv" 'data-*' "-l 100000" copy --lines 100000 --header 1
    if wanted 8; then
        echo "   --csv / lines: $(ratio "$csv_mean" "$(mean_time "$work/ours.times")")"
    fi
fi
rm -rf "$work/csv"

# Pieces written gzip-compressed, against split --filter 'gzip > $FILE.gz'
# (a gzip process per piece, at gzip's default level 6 as ours): 100000-line
# pieces of 256 MiB of CR LF lines. Both sets of pieces must inflate back to the source.
if wanted 9; then
    mkdir -p "$work/gz"
    make_chunk "$work/gzchunk"
    repeat "$work/gzchunk" $((256 / scale + 1)) >"$work/gz/gz.txt"
    rm -f "$work/gzchunk"
    gz_bytes=$(stat -c %s "$work/gz/gz.txt")
    : >"$work/ours.times"; : >"$work/split.times"
    for ((i = 0; i < runs; i++)); do
        timed "$work/ours.times" "$cli" --quiet "${threads[@]}" --lines 100000 --compress gzip "$work/gz/gz.txt"
        ours_gz=$(count_files "$work/gz" 'gz-*.txt.gz')
        ours_back=$(find "$work/gz" -name 'gz-*.txt.gz' | sort | xargs cat | gzip -dc | cmp -s - "$work/gz/gz.txt" && echo same || echo different)
        ours_gz_bytes=$(total_bytes "$work/gz" 'gz-*.txt.gz')
        find "$work/gz" -name 'gz-*.txt.gz' -delete
        mkdir -p "$work/split"
        # shellcheck disable=SC2016 # $FILE is split's to fill in
        timed "$work/split.times" split -l 100000 -a 6 --filter 'gzip > $FILE.gz' "$work/gz/gz.txt" "$work/split/x"
        split_gz=$(count_files "$work/split" 'x*.gz')
        split_back=$(find "$work/split" -name 'x*.gz' | sort | xargs cat | gzip -dc | cmp -s - "$work/gz/gz.txt" && echo same || echo different)
        split_gz_bytes=$(total_bytes "$work/split" 'x*.gz')
        rm -rf "$work/split"
    done
    report "9  $((gz_bytes >> 20)) MiB, 100000-line pieces, gzip" "$work/ours.times" "$work/split.times" /dev/null /dev/null
    echo "   pieces: ours $ours_gz ($ours_gz_bytes bytes, inflated: $ours_back), split --filter gzip $split_gz ($split_gz_bytes bytes, inflated: $split_back)"
    if [ "$ours_gz" -ne "$split_gz" ] || [ "$ours_back" != same ] || [ "$split_back" != same ]; then
        echo "   MISMATCH: the compressed pieces do not give back the source" >&2
        mismatch=1
    fi
    rm -rf "$work/gz"
fi

# One piece per value of a column: 1 GiB of CSV whose second field takes
# 1000 values (some quoted, holding a comma), against Miller's split -g where
# it is installed (Debian's miller; scripts/setup.sh installs it). Miller
# writes the records again in its own CSV form, so only the count of pieces
# is compared; ours must hold the source's records byte for byte (the header
# once a piece), checked by their total size. csvtk is not packaged for Debian 12.
make_keyed_csv() {
    python3 - "$1" "$2" <<'PY'
import random, sys
random.seed(13)
keys = ["k%03d" % i if i % 10 else '"Rio, BR %03d"' % i for i in range(1000)]
with open(sys.argv[1], "w", newline="") as out:
    out.write("id,key,name,amount,note\r\n")
    rows = []
    for n in range(20000):
        note = random.choice(['plain', '"said ""hi"", left"', '"two\r\nlines"', '"a, b, c"', ''])
        rows.append("%d,%s,%s,%d.%02d,%s\r\n" % (n, random.choice(keys), random.choice(['Ann', '"Smith, J."']),
                                                  random.randint(0, 9999), random.randint(0, 99), note))
    chunk = "".join(rows)
    for _ in range(int(sys.argv[2]) // len(chunk) + 1):
        out.write(chunk)
PY
}
if wanted 12; then
    mkdir -p "$work/keyed"
    make_keyed_csv "$work/keyed/data.csv" $((1024 * 1024 * 1024 / scale))
    keyed_bytes=$(stat -c %s "$work/keyed/data.csv")
    keyed_header=$(head -1 "$work/keyed/data.csv" | wc -c)
    mlr_bin=$(command -v mlr || true)
    : >"$work/ours.times"; : >"$work/mlr.times"; : >"$work/floor.times"
    for ((i = 0; i < runs; i++)); do
        timed "$work/ours.times" "$cli" --quiet "${threads[@]}" --by-column key --header 1 "$work/keyed/data.csv"
        ours_keyed=$(count_files "$work/keyed" 'data-*')
        ours_keyed_bytes=$(total_bytes "$work/keyed" 'data-*')
        find "$work/keyed" -name 'data-*' -delete
        if [ -n "$mlr_bin" ]; then
            mkdir -p "$work/mlr"
            timed "$work/mlr.times" "$mlr_bin" --csv --from "$work/keyed/data.csv" split -g key --prefix "$work/mlr/x"
            mlr_keyed=$(count_files "$work/mlr" 'x_*')
            rm -rf "$work/mlr"
        fi
        floor_turn copy "$work/keyed/data.csv"
    done
    report "12 $((keyed_bytes >> 20)) MiB CSV, --by-column, 1000 values" "$work/ours.times" /dev/null /dev/null \
        "$work/floor.times"
    if [ -n "$mlr_bin" ]; then
        echo "   mlr --csv split -g key: mean $(mean_time "$work/mlr.times") s (best $(best_time "$work/mlr.times")), cpu $(mean_cpu "$work/mlr.times") s," \
            "$(peak_mib "$work/mlr.times") MiB, $mlr_keyed pieces; ours/mlr $(ratio "$(mean_time "$work/ours.times")" "$(mean_time "$work/mlr.times")")"
    else
        echo "   mlr not installed (Debian: miller): no peer timed"
    fi
    expected_keyed_bytes=$((keyed_bytes + 999 * keyed_header))
    echo "   pieces: ours $ours_keyed ($ours_keyed_bytes bytes, source and 999 more headers: $expected_keyed_bytes)"
    if [ "$ours_keyed" -ne 1000 ] || [ "$ours_keyed_bytes" -ne "$expected_keyed_bytes" ]; then
        echo "   MISMATCH: not one whole piece per value" >&2
        mismatch=1
    fi
    if awk -v m="$(peak_mib "$work/ours.times")" 'BEGIN { exit !(m > 32) }'; then
        echo "   OVER: more than 32 MiB at peak" >&2
        mismatch=1
    fi
    rm -rf "$work/keyed"
fi

# No split counterpart: a separator search that is linear whatever the text.
# "a" x 120000 + "b" over "a"s makes every position the start of a near-miss
# that fails only at its last unit; a search that tried each border of a
# start held across a chunk end took 44 s here (3 s is the limit).
wanted 7 || finish
mkdir -p "$work/long"
long_bytes=$((20 * 1000 * 1000 / scale))
head -c "$long_bytes" /dev/zero | tr '\0' a >"$work/long/long.txt"
long_separator="$(head -c 120000 /dev/zero | tr '\0' a)b"
: >"$work/long.times"; : >"$work/floor.times"
for ((i = 0; i < runs; i++)); do
    timed "$work/long.times" "$cli" --quiet "${threads[@]}" --separator "$long_separator" "$work/long/long.txt"
    rm -f "$work/long/long-"*
    floor_turn copy "$work/long/long.txt"
done
report "7  $((long_bytes / 1000000)) MB of a, separator a x 120000 + b" "$work/long.times" /dev/null /dev/null \
    "$work/floor.times"
long_best=$(best_time "$work/long.times")
if awk -v t="$long_best" 'BEGIN { exit !(t >= 3) }'; then
    echo "   SLOW: the long separator took 3 s or more" >&2
    mismatch=1
fi

finish
