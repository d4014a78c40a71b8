#!/usr/bin/env bash
# The comparisons with peer libraries: installs them (scripts/install-bench-deps.sh), builds an
# optimised tree without asserts and with the peer programs (build/peers), and runs each
# comparison. Each prints ours at one thread and on every core, each peer at the same thread
# counts, the ratio ours / peer and how far the outputs agree. The machine's load is printed beside
# every table: measure when nothing else runs.
#   bench/run_peers.sh [runs] [program...]     programs: peer_resample peer_quantize peer_codecs
#                                              peer_processing peer_geometry peer_pdf ... (default:
#                                              every bench/peers/peer_*.cpp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/install-bench-deps.sh"
runs=${1:-7}
shift || true
programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
  programs=()
  for src in "$root"/bench/peers/peer_*.cpp; do programs+=("$(basename "$src" .cpp)"); done
fi
"$root/scripts/build.sh" "$root/build/peers" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF \
  -DBRIMVALE_BUILD_TESTS=OFF -DBRIMVALE_BENCH_PEERS=ON -- "${programs[@]}"
# ImageMagick's limits raised for 24-megapixel pictures, and its PDF coder allowed (the
# distribution's policy forbids it). A policy under MAGICK_CONFIGURE_PATH is read before the
# system's, whose rule on a coder then holds; a user configuration folder is read after it. So the
# comparisons get a configuration folder of their own, removed on exit: nothing of the system's
# changes.
export MAGICK_CONFIGURE_PATH="$root/bench/peers/magick"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$config/ImageMagick"
cp "$root/bench/peers/magick/policy.xml" "$config/ImageMagick/policy.xml"
export XDG_CONFIG_HOME=$config
for p in "${programs[@]}"; do
  "$root/build/peers/bench/$p" "$root/bench/peers" "$runs"
done
