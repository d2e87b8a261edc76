#!/usr/bin/env bash
# Installs what is missing, builds Partwright and opens its window.
# Files given on the command line are added to the list.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
"$here/build.sh" "$here/../build/release" -DCMAKE_BUILD_TYPE=Release
exec "$here/../build/release/ui/partwright" "$@"
