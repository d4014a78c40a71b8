#!/usr/bin/env bash
# Builds the engine's tests with ThreadSanitizer (clang, build/tsan) and runs the tests whose
# threads meet: the thumbnail view's background loaders racing inserts, deletes, moves, clears and
# the view's destruction, the I/O threads posting to the single-image view and setting its
# resolution, and the I/O component's worker. Not part of the test
# command. Usage: tests/fuzz/run_tsan.sh [gtest filter]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$root/build/tsan
filter=${1:-'MViewLoadTest.*:MViewTest.*:MViewPaintTest.*:ViewTest.MessagesOfTheIOThreads*:IOThreadsTest.*'}
"$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=ON -DBRIMVALE_TSAN=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DBRIMVALE_BUILD_BENCH=OFF -- tests_threads
QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp:halt_on_error=0:second_deadlock_stack=1" \
  "$dir/tests/tests_threads" --gtest_filter="$filter"
