#!/usr/bin/env bash
# Runs each libFuzzer program of the sanitizer build for a fixed time over its seeds (written by the
# engine's own writers), the corpus kept in the tree (tests/fuzz/corpus/<target>/) and the inputs
# that once failed (tests/fuzz/regressions/<target>/). New inputs a run finds go to a scratch folder
# in the build, never into the tree.
#
#   tests/fuzz/run.sh [-b build-dir] [-j parallel targets] [-m] [seconds per target] [target ...]
#
# Defaults: build/sanitize (built by scripts/build-sanitize.sh when its fuzz programs are missing),
# as many targets at once as there are processors, 8 seconds each, every target the build has.
# A crash, leak, time-out, memory blow-up or undefined behaviour fails the run; the input is kept in
# <build>/fuzz/findings/<target>/. Once the fault is fixed, add the input to
# tests/fuzz/regressions/<target>/, named after what it shows, so the normal tests run it for good.
# With -m each target's tree corpus is replaced afterwards by the smallest set of inputs (at most
# 4 KiB each) that reaches every edge the corpus, the seeds and the run reached: the way the corpus
# is grown.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/sanitize"
jobs=$(nproc)
merge=0
while getopts "b:j:m" opt; do
  case $opt in
    b) build=$OPTARG ;;
    j) jobs=$OPTARG ;;
    m) merge=1 ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
seconds=${1:-8}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ! -x "$build/tests/fuzz/fuzz_make_seeds" ]; then
  "$root/scripts/build-sanitize.sh" "$build"
fi
if [ ${#targets[@]} -eq 0 ]; then
  # Every libFuzzer program of the build (tests/fuzz/CMakeLists.txt lists them).
  for f in "$build"/tests/fuzz/fuzz_*; do
    name=$(basename "$f")
    if [ -f "$f" ] && [ -x "$f" ] && [ "$name" != fuzz_make_seeds ]; then targets+=("$name"); fi
  done
fi
work="$build/fuzz"
rm -rf "$work/seeds" "$work/findings"
mkdir -p "$work/seeds" "$work/findings"
"$build/tests/fuzz/fuzz_make_seeds" "$work/seeds"

export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks wholly inside third-party libraries are suppressed as in the sanitizer tests.
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
export QT_QPA_PLATFORM=offscreen

# One target: its scratch folder first (libFuzzer adds what it finds there), then the read-only ones.
run_one() {
  local t=$1
  local scratch="$work/scratch/$t"
  mkdir -p "$scratch" "$work/findings/$t" "$work/seeds/$t"
  local dirs=("$scratch" "$work/seeds/$t")
  for d in "$root/tests/fuzz/corpus/$t" "$root/tests/fuzz/regressions/$t"; do
    [ -d "$d" ] && dirs+=("$d")
  done
  if "$build/tests/fuzz/$t" "${dirs[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -artifact_prefix="$work/findings/$t/" -print_final_stats=1 >"$work/findings/$t.log" 2>&1; then
    echo "$t: $(grep -aE '^stat::number_of_executed_units' "$work/findings/$t.log" | awk '{print $2}' || true) runs, clean"
  else
    echo "FINDING in $t (see $work/findings/$t.log and $work/findings/$t/):"
    grep -aE 'ERROR|SUMMARY|runtime error|Test unit written' "$work/findings/$t.log" | head -5 || true
    return 1
  fi
  if [ $merge -eq 1 ]; then
    # The smallest set that reaches every edge the tree corpus, the seeds and this run reached
    # (edges only, not hit counts: a few dozen files instead of hundreds).
    local merged="$work/merged/$t"
    rm -rf "$merged"
    mkdir -p "$merged" "$root/tests/fuzz/corpus/$t"
    if "$build/tests/fuzz/$t" -set_cover_merge=1 -use_counters=0 -max_len=4096 "$merged" \
        "$root/tests/fuzz/corpus/$t" "$scratch" "$work/seeds/$t" >"$work/findings/$t.merge.log" 2>&1; then
      rm -rf "$root/tests/fuzz/corpus/$t"
      mv "$merged" "$root/tests/fuzz/corpus/$t"
      echo "$t: corpus of $(ls "$root/tests/fuzz/corpus/$t" | wc -l) inputs"
    fi
  fi
}

for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 0.2; done
  (
    set +e
    run_one "$t" >"$work/findings/$t.summary" 2>&1
    echo $? >"$work/findings/$t.status"
  ) &
done
wait
# Clean targets first, findings last: a log cut to its tail still shows what failed.
failed=()
for t in "${targets[@]}"; do
  if [ "$(cat "$work/findings/$t.status" 2>/dev/null)" = 0 ]; then cat "$work/findings/$t.summary"; else failed+=("$t"); fi
done
for t in "${failed[@]}"; do cat "$work/findings/$t.summary"; done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz findings in: ${failed[*]}"
  exit 1
fi
