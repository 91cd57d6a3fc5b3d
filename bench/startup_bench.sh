#!/usr/bin/env bash
# The program's start as a user starts it: `quelm /s` from a folder of its own on a private
# Xvfb (Mesa llvmpipe) whose root shows a busy picture, timed from the process's start to
# its first presented frame (bench/first_frame_probe.c), with the processor time it used until
# then (which a loaded machine changes less) and its peak memory (time -v).
# Cases: desk (no INI: the desktop is captured) and pics (six 4000 x 3000 JPEG pictures), on
# one monitor of each size and on two side by side (RandR monitors on one screen twice as
# wide: the first frame is then the one on the second monitor).
#   bench/startup_bench.sh BUILD_DIR [RUNS]   SIZES="1024x768" CASES="desk" MONITORS="2" restrict it
# Prints one line a run and the medians.
set -euo pipefail
build=$(cd "${1:?usage: startup_bench.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-3}
quelm=$build/startup/quelm
probe=$build/bench/libquelm_first_frame_probe.so
[ -x "$quelm" ] && [ -f "$probe" ] || { echo "build the quelm and quelm_first_frame_probe targets first" >&2; exit 2; }
readonly run_seconds=4 # long enough for the first frame on a loaded machine
work=$(mktemp -d /tmp/quelm-startup-bench.XXXXXX)
xvfb=
trap '[ -n "$xvfb" ] && kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT

# Six photo-like pictures, made once: fractal noise drawn small and enlarged.
for k in 1 2 3 4 5 6; do
  convert -seed $k -size 500x375 plasma:fractal -resize 4000x3000! -quality 90 "$work/p$k.jpg"
done

start_x() { # $1 = WxH of a monitor, $2 = monitors side by side; sets DISPLAY
  local w=${1%x*} h=${1#*x}
  local screen="$((w * $2))x$h"
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 & xvfb=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$work/display")
  if [ "$2" -eq 2 ]; then
    xrandr --setmonitor A "$w/300x$h/200+0+0" screen >/dev/null
    xrandr --setmonitor B "$w/300x$h/200+$w+0" none >/dev/null
  fi
  convert -seed 7 -size "$screen" plasma:fractal "$work/desk.png"
  display -window root "$work/desk.png" >/dev/null 2>&1 || true # sets the root's picture
}

one_run() { # $1 case, $2 monitors; prints first-frame seconds, processor seconds until then, peak MB
  local dir; dir=$(mktemp -d "$work/run.XXXX")
  cp "$quelm" "$dir/"
  if [ "$1" = pics ]; then
    { printf '[Section]\nPic区分= 1\n'; for k in 1 2 3 4 5 6; do printf 'Path%d=%s/p%d.jpg\n' $k "$work" $k; done; } |
      iconv -f UTF-8 -t CP932 > "$dir/Quelm.ini"
  fi
  (cd "$dir" && QUELM_FIRST_FRAME_OUT="$dir/first" QUELM_FIRST_FRAME_SWAPS="$2" LD_PRELOAD="$probe" \
     /usr/bin/time -v -o "$dir/time" timeout -s TERM $run_seconds ./quelm /s >/dev/null 2>&1 || true)
  echo "$(cat "$dir/first" 2>/dev/null || echo NA NA) $(awk -F': ' '/Maximum resident/{printf "%.1f", $2 / 1024}' "$dir/time")"
  rm -rf "$dir"
}

median() { sort -n | awk '{v[NR] = $1} END {print NR ? (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) : "NA"}'; }

echo "case size monitors run first_frame_s cpu_s peak_MB   (load $(cut -d' ' -f1-3 /proc/loadavg))"
for size in ${SIZES:-1024x768 1920x1080}; do
  for m in ${MONITORS:-1 2}; do
    start_x "$size" "$m"
    for c in ${CASES:-desk pics}; do
      results=()
      for r in $(seq "$runs"); do
        line=$(one_run "$c" "$m")
        echo "$c $size $m $r $line"
        results+=("$line")
      done
      printf '%s\n' "${results[@]}" | awk '{print $1}' | median | xargs printf "$c $size x$m median first frame %s s, "
      printf '%s\n' "${results[@]}" | awk '{print $2}' | median | xargs printf "processor %s s, "
      printf '%s\n' "${results[@]}" | awk '{print $3}' | median | xargs printf "peak %s MB\n"
    done
    kill $xvfb; wait $xvfb 2>/dev/null || true; xvfb=
  done
done
