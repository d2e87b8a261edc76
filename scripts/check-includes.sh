#!/usr/bin/env bash
# Checks the engine's include graph and its public face:
#  - the engine's modules (x.h and x.cpp are one module, in whichever stage's
#    folder they lie) include each other without a cycle;
#  - the public headers (engine/include/partwright) include no internal one;
#  - the command line, the window and the file list include only public engine headers.
# Prints what is wrong and exits 1; exits 0 when all holds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
status=0

# One "from to" pair per quoted include of an engine header, by module name.
edges() {
    local file module target
    while IFS= read -r file; do
        module="$(basename "${file%.*}")"
        sed -nE 's,^[[:space:]]*#[[:space:]]*include[[:space:]]*"(engine|partwright)/([a-z]+/)?([a-z0-9_]+)\.h".*,\3,p' "$file" |
            while IFS= read -r target; do
                echo "$module $target"
            done
    done < <(find engine -path engine/tests -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print | sort)
}

pairs="$(edges)"
# tsort names a loop on stderr and fails when the pairs hold one.
if ! loop="$(printf '%s\n' "$pairs" | tsort 2>&1 >/dev/null)"; then
    echo "engine include cycle:" >&2
    printf '%s\n' "$loop" | sed -n 's/^tsort: //p' >&2
    status=1
fi

if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"engine/' engine/include; then
    echo "a public engine header includes an internal one (above)" >&2
    status=1
fi

if grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"engine/' cli ui filelist; then
    echo "the front ends may include only the engine's public headers, \"partwright/...\" (above)" >&2
    status=1
fi

exit "$status"
