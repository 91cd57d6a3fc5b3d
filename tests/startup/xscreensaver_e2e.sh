#!/usr/bin/env bash
# End to end with the real XScreenSaver daemon: activating the saver shows the box on the
# screen; deactivating it ends Quelm with no process and no wall file left.
# Usage: xscreensaver_e2e.sh PATH-TO-QUELM   (needs DISPLAY; runs the daemon as a plain user)
set -uo pipefail
quelm=$1
user=quelm-xss
fail() { echo "FAIL: $*" >&2; exit 1; }

command -v xscreensaver >/dev/null || fail "xscreensaver is not installed"
# XScreenSaver will not start hacks for root: a plain user runs the daemon.
if [ "$(id -u)" -eq 0 ]; then
  id "$user" >/dev/null 2>&1 || useradd -m -s /bin/sh "$user" || fail "cannot add user $user"
  as_user() { runuser -u "$user" -- env DISPLAY="$DISPLAY" HOME="$home" XDG_RUNTIME_DIR="$rt" "$@"; }
  home=$(getent passwd "$user" | cut -d: -f6)
else
  user=$(id -un)
  as_user() { env HOME="$home" XDG_RUNTIME_DIR="$rt" "$@"; }
  home=$(mktemp -d)
fi

work=$(mktemp -d /tmp/quelm-xss.XXXXXX)
chmod 755 "$work"
install -m 755 "$quelm" "$work/quelm"
rt="$work/runtime"
mkdir -m 700 "$rt"
chown "$user" "$work" "$rt" 2>/dev/null
cleanup() {
  as_user xscreensaver-command -exit >/dev/null 2>&1
  pkill -u "$user" -x xscreensaver 2>/dev/null
  pkill -u "$user" -x quelm 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cat > "$home/.xscreensaver" <<CFG
mode: one
selected: 0
lock: False
fade: False
unfade: False
splash: False
timeout: 0:30:00
programs: "Quelm" $work/quelm -root \n
CFG
chown "$user" "$home/.xscreensaver" 2>/dev/null

# A desktop with something on it, so that a box of walls shows.
convert -size 1024x768 -seed 7 plasma:fractal "$work/desk.png" || fail "cannot make a desktop picture"
display -window root "$work/desk.png" 2>/dev/null &
for _ in $(seq 1 50); do
  [ "$(import -window root -colors 256 -format %k info: 2>/dev/null)" -gt 50 ] && break; sleep 0.1
done

as_user xscreensaver -no-splash >"$work/xss.log" 2>&1 &
for _ in $(seq 1 100); do as_user xscreensaver-command -version >/dev/null 2>&1 && break; sleep 0.1; done
as_user xscreensaver-command -activate >/dev/null || fail "the daemon did not take -activate"

pid=""
for _ in $(seq 1 150); do pid=$(pgrep -u "$user" -x quelm | head -1); [ -n "$pid" ] && break; sleep 0.1; done
[ -n "$pid" ] || { cat "$work/xss.log" >&2; fail "the daemon did not start quelm"; }

# The box is drawn and moves: two screenshots differ and show the many colours of the
# desktop on the walls, not a blank screen. (A loaded machine may take a while to bring up
# the first frames; the wall files while it runs are counted by the hack program test.)
moving=0
for _ in $(seq 1 40); do
  import -window root "$work/a.png" || fail "no screenshot"
  sleep 0.5
  import -window root "$work/b.png" || fail "no screenshot"
  changed=$(compare -metric AE -fuzz 5% "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1)
  colours=$(convert "$work/b.png" -format %k info:)
  if [ "${changed%.*}" -gt 1000 ] && [ "$colours" -gt 5000 ]; then moving=1; break; fi
done
echo "pixels changed between frames: $changed; colours on screen: $colours"
[ "$moving" -eq 1 ] || fail "the screen shows no moving box"

as_user xscreensaver-command -deactivate >/dev/null || fail "the daemon did not take -deactivate"
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "quelm still runs after deactivation"
pgrep -u "$user" -x quelm >/dev/null && fail "a quelm process is left"
left=$(find "$rt" -name 'Quib*.bmp' -o -name 'quelm-walls-*' | wc -l)
[ "$left" -eq 0 ] || fail "wall files left: $(find "$rt" -name 'Quib*')"
echo "1 passed, 0 failed"
