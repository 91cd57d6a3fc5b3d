#!/usr/bin/env bash
# The show's start in a Wayland session, to set beside startup_bench.sh's desk case on Xvfb:
# `quelm /s` from a folder of its own, natively on a headless sway (Mesa llvmpipe through EGL,
# sway's pixman renderer) whose output shows a busy picture, timed from the process's start to
# its first presented frame (first_frame_probe.c: the first eglSwapBuffers), with the processor
# time it used until then and its peak memory (time -v); then the desktop's capture alone,
# as the show makes it (wayland_capture_bench). Run it inside a sway of its own:
#   scripts/with-sway.sh bench/wayland_startup_bench.sh BUILD_DIR [RUNS]
# Prints one line a run and the medians.
set -euo pipefail
build=$(cd "${1:?usage: wayland_startup_bench.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
quelm=$build/startup/quelm
probe=$build/bench/libquelm_first_frame_probe.so
capture=$build/bench/wayland_capture_bench
[ -x "$quelm" ] && [ -f "$probe" ] && [ -x "$capture" ] ||
  { echo "build the quelm, quelm_first_frame_probe and wayland_capture_bench targets first" >&2; exit 2; }
[ -n "${WAYLAND_DISPLAY:-}" ] || { echo "run it under scripts/with-sway.sh" >&2; exit 2; }
readonly run_seconds=4 # long enough for the first frame on a loaded machine
work=$(mktemp -d "${TMPDIR:-/tmp}/quelm-wayland-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The busy desktop of startup_bench.sh, as the output's background; drawn once its corner is no
# longer the plain background.
convert -seed 7 -size 1024x768 plasma:fractal "$work/desk.png"
swaymsg output HEADLESS-1 bg "$work/desk.png" stretch >/dev/null
corner() { grim -g "1000,700 1x1" -t ppm - | tail -c 3 | od -An -tx1 | tr -d ' \n'; }
for _ in $(seq 200); do [ "$(corner)" != "${QUELM_SWAY_BACKGROUND:-}" ] && break; sleep 0.05; done

one_run() { # prints first-frame seconds, processor seconds until then, peak MB
  local dir; dir=$(mktemp -d "$work/run.XXXX")
  cp "$quelm" "$dir/"
  (cd "$dir" && QUELM_FIRST_FRAME_OUT="$dir/first" LD_PRELOAD="$probe" \
     /usr/bin/time -v -o "$dir/time" timeout -s TERM $run_seconds ./quelm /s >/dev/null 2>&1 || true)
  echo "$(cat "$dir/first" 2>/dev/null || echo NA NA) $(awk -F': ' '/Maximum resident/{printf "%.1f", $2 / 1024}' "$dir/time")"
  rm -rf "$dir"
}

median() { sort -n | awk '{v[NR] = $1} END {print NR ? (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) : "NA"}'; }

echo "case size run first_frame_s cpu_s peak_MB   (load $(cut -d' ' -f1-3 /proc/loadavg))"
results=()
for r in $(seq "$runs"); do
  line=$(one_run)
  echo "sway-desk 1024x768 $r $line"
  results+=("$line")
done
printf '%s\n' "${results[@]}" | awk '{print $1}' | median | xargs printf "sway-desk 1024x768 median first frame %s s, "
printf '%s\n' "${results[@]}" | awk '{print $2}' | median | xargs printf "processor %s s, "
printf '%s\n' "${results[@]}" | awk '{print $3}' | median | xargs printf "peak %s MB\n"
"$capture" 20 | tail -n 1 | sed 's/^/capture of the output alone: /'
