#!/usr/bin/env bash
# Installs what Brimvale needs, builds everything (tests and benchmarks included) and runs every test.
# Exits non-zero when a test fails. The build keeps assert() checks on.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build/test" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=ON
cd "$root/build/test"
export QT_QPA_PLATFORM=offscreen
exec ctest --output-on-failure -j "$(nproc)"
