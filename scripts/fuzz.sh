#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang into ./build-fuzz and runs each in turn for the
# given number of seconds (default 30), one at a time; exits non-zero when one finds a fault.
# Each keeps its corpus in build-fuzz/corpus/NAME, started from tests/fuzz/seeds/NAME.
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then harnesses=(profile_reader profile_writer mci picture); fi
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: no clang++, fuzzing skipped" >&2
  exit 0
fi
build=$here/build-fuzz
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQUELM_FUZZ=ON -DBUILD_TESTING=OFF -DQUELM_BENCH=OFF "${launcher[@]}" >/dev/null
targets=()
for h in "${harnesses[@]}"; do targets+=(--target "fuzz_$h"); done
cmake --build "$build" "${targets[@]}" -j"$(nproc)"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:suppressions=$here/tests/asan.supp"
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
for h in "${harnesses[@]}"; do
  corpus=$build/corpus/$h
  mkdir -p "$corpus" "$build/findings/$h"
  dict=()
  if [ -f "$here/tests/fuzz/$h.dict" ]; then dict=(-dict="$here/tests/fuzz/$h.dict"); fi
  echo "fuzz.sh: $h for ${seconds}s"
  seeds=()
  if [ -d "$here/tests/fuzz/seeds/$h" ]; then seeds=("$here/tests/fuzz/seeds/$h"); fi
  "$build/tests/fuzz/fuzz_$h" "$corpus" "${seeds[@]}" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$h/"
done
