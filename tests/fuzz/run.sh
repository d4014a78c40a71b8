#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (the whole engine is built with the sanitizers), seeds a corpus with the
# engine's own writers, and runs each target for a while. Installs clang and its fuzzer runtime
# itself (apt, only when missing). Not part of the default test run.
#
#   tests/fuzz/run.sh [seconds per target, default 60] [target ...]
#
# Findings (crashes, leaks, timeouts) are written to build/fuzz/findings/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(fuzz_raw_bitmap fuzz_iptc fuzz_tags_handler fuzz_tiff_handler fuzz_zlib fuzz_icc fuzz_gif fuzz_bmp
           fuzz_detect fuzz_dib_import fuzz_gamma_dib fuzz_control_text fuzz_png_picture)
fi

"$root/scripts/install-deps.sh"

# clang and the libFuzzer runtime: installed only when a fuzzer cannot be linked yet.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$probe/p.cpp"
if ! clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1; then
  echo "Installing clang and its fuzzer runtime"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends clang libclang-rt-dev
fi

build="$root/build/fuzz"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize -fsanitize=fuzzer-no-link" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DBRIMVALE_ASSERTS=ON -DBRIMVALE_BUILD_TESTS=OFF -DBRIMVALE_BUILD_BENCH=OFF -DBRIMVALE_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-4}" --target fuzz_all

corpus="$build/corpus"
"$build/tests/fuzz/fuzz_make_seeds" "$corpus"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  mkdir -p "$corpus/$t" "$build/findings/$t"
  echo "== $t: ${seconds}s"
  log="$build/findings/$t.log"
  # The corpus kept in the tree (tests/fuzz/corpus/<target>) is read besides the generated one.
  kept=()
  if [ -d "$root/tests/fuzz/corpus/$t" ]; then kept=("$root/tests/fuzz/corpus/$t"); fi
  if "$build/tests/fuzz/$t" "$corpus/$t" "${kept[@]}" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 \
      -timeout=10 -artifact_prefix="$build/findings/$t/" -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$log" | tail -2
  else
    status=1
    echo "FINDING in $t (see $log and $build/findings/$t/)"
    grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -5
  fi
done
exit $status
