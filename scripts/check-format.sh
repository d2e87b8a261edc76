#!/usr/bin/env bash
# Fails when a C++ file of the project is not laid out as .clang-format says,
# naming the files; `scripts/check-format.sh --fix` lays them out in place.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
format="$(command -v clang-format-14 || command -v clang-format || true)"
if [ -z "$format" ]; then
    echo "check-format: clang-format not found (scripts/setup.sh installs it)" >&2
    exit 2
fi

mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    "$format" -i --style=file "${files[@]}"
    exit 0
fi

unformatted=()
for file in "${files[@]}"; do
    "$format" --dry-run --Werror --style=file "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "not laid out as .clang-format says (scripts/check-format.sh --fix):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
