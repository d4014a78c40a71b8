#!/usr/bin/env bash
# Installs what Brimvale needs, builds it (Release) and starts the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build/release" -DCMAKE_BUILD_TYPE=Release \
  -DBRIMVALE_BUILD_TESTS=OFF -DBRIMVALE_BUILD_BENCH=OFF -- brimvale
exec "$root/build/release/app/brimvale" "$@"
