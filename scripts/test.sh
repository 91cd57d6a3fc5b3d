#!/usr/bin/env bash
# Builds Quelm with its tests and runs every test; exits non-zero when one fails.
#   scripts/test.sh              normal build in ./build
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer in ./build-asan
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  build=$here/build-asan
  extra=(-DQUELM_SANITIZE=ON -DQUELM_BENCH=OFF)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:suppressions=$here/tests/asan.supp"
  export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
"$here/scripts/build.sh" "$build" "${extra[@]}"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
