#!/usr/bin/env bash
# Faults that real desktops bring, made real: the X server killed under a running show (TERM
# and KILL), a termination at a sweep of moments from the start, and a show whose folder is
# on a full disk. Nothing may be left behind, and the full-disk show still draws its box.
# Usage: faults_e2e.sh PATH-TO-QUELM CASE   (CASE: display-loss, early-term, full-disk)
# Each case starts X servers of its own. Exit 77 (skipped) where a case cannot be made here.
set -uo pipefail
quelm=$1
case=$2
work=$(mktemp -d /tmp/quelm-faults.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime QUELM_NO_SOUND=1 QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1
mkdir -m 700 "$XDG_RUNTIME_DIR"
xpid=""
cleanup() {
  [ -n "$xpid" ] && kill -9 "$xpid" 2>/dev/null
  mountpoint -q "$work/disk" 2>/dev/null && umount "$work/disk"
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# An X server of its own on a free display, with a busy desktop: DISPLAY and xpid set.
start_x() {
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 640x480x24 -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xpid=$!
  local n=""
  read -r -t 10 n <&"$fd" || fail "Xvfb did not start"
  exec {fd}<&-
  export DISPLAY=":$n"
  convert -size 640x480 pattern:checkerboard -fill red -draw "circle 320,240 320,100" "$work/desktop.png"
  display -window root "$work/desktop.png"
}

# Waits up to 10 s for a command to succeed.
wait_for() {
  for _ in $(seq 1 200); do "$@" && return 0; sleep 0.05; done
  return 1
}
shown() { xdotool search --onlyvisible --name '^Quib_Main$' >/dev/null 2>&1; }
walls_in() { [ "$(find "$1" -maxdepth 1 -name 'Quib*.bmp' | wc -l)" -eq 6 ]; }
nothing_left() { # no wall file beside the program, no walls folder of a daemon's show
  local left
  left=$(find "$work/prog" "$XDG_RUNTIME_DIR" -name 'Quib*' -o -name 'quelm-walls-*' 2>/dev/null | head -n 3)
  [ -z "$left" ] || fail "$1: left behind: $left"
}
mkdir -p "$work/prog"
cp "$quelm" "$work/prog/quelm"

case $case in
display-loss)
  for signal in TERM KILL; do
    for mode in /s -root; do
      start_x
      "$work/prog/quelm" $mode 2>"$work/err" &
      pid=$!
      if [ "$mode" = /s ]; then
        wait_for shown || fail "$mode: no show"
        walls_in "$work/prog" || fail "$mode: no wall files"
      else
        wait_for bash -c "ls -d '$XDG_RUNTIME_DIR'/quelm-walls-* >/dev/null 2>&1" || fail "$mode: no walls folder"
      fi
      start=$(date +%s%N)
      kill -"$signal" "$xpid"
      wait "$xpid" 2>/dev/null
      xpid=""
      wait_for bash -c "! kill -0 $pid 2>/dev/null" || fail "$mode: still running after the display went ($signal)"
      wait "$pid"
      ms=$(( ($(date +%s%N) - start) / 1000000 ))
      [ "$ms" -le 1000 ] || fail "$mode: ended $ms ms after the display went"
      nothing_left "display killed with $signal under $mode"
      echo "display killed with $signal under $mode: ended after $ms ms, nothing left"
    done
  done
  ;;
early-term)
  start_x
  for mode in /s -root; do
    for ms in 0 10 20 30 40 50 60 70 80 90 100 110 120 130 140 150; do
      "$work/prog/quelm" $mode 2>/dev/null &
      pid=$!
      sleep "$(printf '0.%03d' "$ms")"
      kill -TERM "$pid"
      wait "$pid"
      status=$?
      nothing_left "SIGTERM $ms ms after the start of $mode"
      # Before main() no handler can exist: the default action ends it, having made nothing.
      [ "$status" -eq 0 ] || [ "$status" -eq 143 ] || fail "$mode, SIGTERM at $ms ms: status $status"
      echo "$mode, SIGTERM at $ms ms: status $status, nothing left"
    done
  done
  ;;
full-disk)
  [ "$(id -u)" -eq 0 ] || { echo "full-disk: needs root to mount a small disk"; exit 77; }
  mkdir "$work/disk"
  size=$(( $(stat -c %s "$quelm") / 1024 + 256 ))
  mount -t tmpfs -o "size=${size}k" tmpfs "$work/disk" || { echo "full-disk: cannot mount"; exit 77; }
  cp "$quelm" "$work/disk/quelm"
  dd if=/dev/zero of="$work/disk/filler" bs=4k 2>/dev/null # until the disk is full
  start_x
  import -window root "$work/before.png"
  "$work/disk/quelm" /s 2>"$work/err" &
  pid=$!
  wait_for shown || fail "no show on a full disk"
  sleep 0.5
  import -window root "$work/during.png"
  differing=$(compare -metric AE -fuzz 10% "$work/before.png" "$work/during.png" null: 2>&1)
  [ "${differing%%.*}" -gt $((640 * 480 / 2)) ] || fail "the full-disk show looks like the desktop ($differing pixels differ)"
  colours=$(identify -format %k "$work/during.png")
  [ "$colours" -gt 16 ] || fail "the full-disk show is $colours colours"
  grep -q 'wall files cannot be written' "$work/err" || fail "nothing said on stderr: $(cat "$work/err")"
  xdotool key q
  wait "$pid" || fail "the full-disk show ended with status $?"
  left=$(find "$work/disk" -name 'Quib*')
  [ -z "$left" ] || fail "left on the full disk: $left"
  echo "full disk: the box showed ($differing pixels differ from the desktop), one line said why, nothing left"
  ;;
*) fail "unknown case $case" ;;
esac
