#!/usr/bin/env bash
# Installs what Brimvale needs, builds it and runs every test, in three stages:
#   release   the Release build with assert() checks on, by clang (build/test; no benchmarks: they
#             are built by scripts/bench.sh), all tests
#   sanitize  the same tests built by clang with AddressSanitizer, LeakSanitizer and
#             UndefinedBehaviorSanitizer (build/sanitize, which also holds the libFuzzer programs)
#   fuzz      each fuzz target for a few seconds over its seeds and the corpus kept in the tree
#             (tests/fuzz/run.sh; FUZZ_SECONDS per target, default 8)
#
#   scripts/test.sh              all three stages
#   scripts/test.sh release      only the named stages (while iterating: the fast Release tests)
#
# Every stage runs even when an earlier one failed; the exit code is non-zero when any stage failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(release sanitize fuzz)
for s in "${stages[@]}"; do
  case $s in
    release | sanitize | fuzz) ;;
    *) echo "unknown stage '$s' (release, sanitize, fuzz)" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" || exit 1
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
failed=()

run_stage() {
  local name=$1
  shift
  echo "== $name"
  if "$@"; then
    echo "== $name: passed"
  else
    echo "== $name: FAILED"
    failed+=("$name")
  fi
}

# Both trees are unity builds (cmake/BrimvaleTargets.cmake): a library's or test program's sources
# compile in batches of a folder's files, which takes less processor time on a clean build;
# ccache still serves the batches of an unchanged folder to the next run and to other checkouts.
unity=-DBRIMVALE_UNITY_BUILD=ON

# The Release tests are built by clang: a test source costs about half of gcc's processor time
# (the program itself, scripts/run.sh, stays with gcc). A folder another compiler configured
# starts afresh (CMake keeps the compiler of a configured folder).
release() {
  local dir=$root/build/test
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++$' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=ON -DBRIMVALE_BUILD_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$unity" &&
    (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

sanitize() {
  "$root/scripts/build-sanitize.sh" "$root/build/sanitize" "$unity" &&
    (cd "$root/build/sanitize" && ctest --output-on-failure -j "$jobs")
}

fuzz() {
  "$root/scripts/build-sanitize.sh" "$root/build/sanitize" "$unity" &&
    "$root/tests/fuzz/run.sh" -b "$root/build/sanitize" "${FUZZ_SECONDS:-8}"
}

for s in "${stages[@]}"; do run_stage "$s" "$s"; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED stages: ${failed[*]}"
  exit 1
fi
echo "All stages passed: ${stages[*]}"
