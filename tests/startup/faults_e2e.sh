#!/usr/bin/env bash
# Faults that real desktops bring, made real: the X server killed under a running show (TERM
# and KILL), a termination at a sweep of moments from the start, and a show whose folder is
# on a full disk. Nothing may be left behind, and the full-disk show still draws its box.
# Usage: faults_e2e.sh PATH-TO-QUELM CASE   (CASE: display-loss, early-term, full-disk)
# Each case starts X servers of its own. Exit 77 (skipped) where a case cannot be made here.
set -uo pipefail
. "$(dirname "$0")/e2e_common.sh"
quelm=$1
work=$(mktemp -d /tmp/quelm-faults.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime QUELM_NO_SOUND=1 QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1
mkdir -m 700 "$XDG_RUNTIME_DIR" "$work/prog"
cp "$quelm" "$work/prog/quelm"
xpid=""
trap '[ -n "$xpid" ] && kill -9 $xpid 2>/dev/null; mountpoint -q "$work/disk" && umount "$work/disk"; rm -rf "$work"' EXIT

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
shown() { xdotool search --onlyvisible --name '^Quib_Main$' >/dev/null 2>&1; }
walls() { [ -n "$(find "$work/prog" "$XDG_RUNTIME_DIR" -name 'Quib6.bmp')" ]; } # beside it, or a daemon's folder
nothing_left() { # no wall file beside the program, no walls folder of a daemon's show
  local left
  left=$(find "$work/prog" "$XDG_RUNTIME_DIR" -name 'Quib*' -o -name 'quelm-walls-*' | head -n 3)
  [ -z "$left" ] || fail "$1: left behind: $left"
}

case $2 in
display-loss)
  for signal in TERM KILL; do
    for mode in /s -root; do
      start_x
      "$work/prog/quelm" $mode 2>"$work/err" &
      pid=$!
      [ "$mode" = -root ] || wait_for shown || fail "$mode: no show"
      wait_for walls || fail "$mode: no wall files"
      start=$(date +%s%N)
      kill -"$signal" "$xpid"
      wait "$xpid" 2>/dev/null
      xpid=""
      wait_for gone "$pid" || fail "$mode: still running after the display went ($signal)"
      ms=$((($(date +%s%N) - start) / 1000000))
      [ "$ms" -le 1000 ] || fail "$mode: ended $ms ms after the display went"
      nothing_left "display killed with $signal under $mode"
      echo "display killed with $signal under $mode: ended after $ms ms, nothing left"
    done
  done
  ;;
early-term)
  start_x
  for mode in /s -root; do
    for ms in $(seq 0 10 150); do
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
  [ "$(id -u)" -eq 0 ] || skip "full-disk: needs root to mount a small disk"
  mkdir "$work/disk"
  size=$(($(stat -c %s "$quelm") / 1024 + 256))
  mount -t tmpfs -o "size=${size}k" tmpfs "$work/disk" || skip "full-disk: cannot mount"
  cp "$quelm" "$work/disk/quelm"
  dd if=/dev/zero of="$work/disk/filler" bs=4k 2>/dev/null # until the disk is full
  start_x
  "$work/disk/quelm" /s 2>"$work/err" &
  pid=$!
  wait_for shown || fail "no show on a full disk"
  bound=20 wait_for box_moves "$work" 16 || fail "no moving box on a full disk: $changed pixels changed, $colours colours"
  grep -q 'wall files cannot be written' "$work/err" || fail "nothing said on stderr: $(cat "$work/err")"
  xdotool key q
  wait "$pid" || fail "the full-disk show ended with status $?"
  left=$(find "$work/disk" -name 'Quib*')
  [ -z "$left" ] || fail "left on the full disk: $left"
  echo "full disk: the box moved ($changed pixels changed), one line said why, nothing left"
  ;;
*) fail "unknown case $2" ;;
esac
