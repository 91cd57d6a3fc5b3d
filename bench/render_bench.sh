#!/usr/bin/env bash
# Runs the box renderer's benchmarks on llvmpipe at 1024x768 and 1920x1080.
# Usage: bench/render_bench.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: render_bench.sh BUILD_DIR}
here=$(cd "$(dirname "$0")/.." && pwd)
bench="$build/bench/render_bench"
pictures=$(mktemp -d /tmp/quelm-render-bench.XXXXXX)
trap 'rm -rf "$pictures"' EXIT
QUELM_NO_SOUND=1 "$here/scripts/with-services.sh" "$bench" make-pictures "$pictures"
for screen in 1024x768x24 1920x1080x24; do
  for run in 1 2 3; do
    QUELM_NO_SOUND=1 QUELM_SCREEN=$screen "$here/scripts/with-services.sh" "$bench" start desktop
  done
  for run in 1 2 3; do
    QUELM_NO_SOUND=1 QUELM_SCREEN=$screen "$here/scripts/with-services.sh" "$bench" start pictures "$pictures"
  done
  QUELM_NO_SOUND=1 QUELM_SCREEN=$screen "$here/scripts/with-services.sh" "$bench" frames 600
done
