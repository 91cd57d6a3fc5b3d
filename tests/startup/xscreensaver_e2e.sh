#!/usr/bin/env bash
# End to end with the real XScreenSaver daemon: activating the saver shows the box on the
# screen; deactivating it ends Quelm with no process and no wall file left.
# Usage: xscreensaver_e2e.sh PATH-TO-QUELM   (needs DISPLAY; runs the daemon as a plain user)
set -uo pipefail
. "$(dirname "$0")/e2e_common.sh"
command -v xscreensaver >/dev/null || fail "xscreensaver is not installed"
work=$(mktemp -d /tmp/quelm-xss.XXXXXX)
rt=$work/runtime
mkdir -m 700 "$rt"
chmod 755 "$work"
install -m 755 "$1" "$work/quelm"
# XScreenSaver will not start hacks for root: a plain user runs the daemon.
if [ "$(id -u)" -eq 0 ]; then
  user=quelm-xss
  plain_user "$user"
  home=$(getent passwd "$user" | cut -d: -f6)
  chown "$user" "$work" "$rt"
  as_user() { runuser -u "$user" -- env DISPLAY="$DISPLAY" HOME="$home" XDG_RUNTIME_DIR="$rt" "$@"; }
else
  user=$(id -un) home=$work
  as_user() { env HOME="$home" XDG_RUNTIME_DIR="$rt" "$@"; }
fi
cleanup() {
  as_user xscreensaver-command -exit >/dev/null 2>&1
  pkill -u "$user" -x xscreensaver
  pkill -u "$user" -x quelm
  rm -rf "$work"
}
trap cleanup EXIT

cat >"$home/.xscreensaver" <<CFG
mode: one
selected: 0
lock: False
fade: False
unfade: False
splash: False
timeout: 0:30:00
programs: "Quelm" $work/quelm -root \n
CFG
chown "$user" "$home/.xscreensaver"

show_desktop "$work" # so that a box of walls shows
as_user xscreensaver -no-splash >"$work/xss.log" 2>&1 &
wait_for as_user xscreensaver-command -version >/dev/null 2>&1
as_user xscreensaver-command -activate >/dev/null || fail "the daemon did not take -activate"
bound=15 wait_for pgrep -u "$user" -x quelm >/dev/null || { cat "$work/xss.log" >&2; fail "the daemon did not start quelm"; }
pid=$(pgrep -u "$user" -x quelm | head -1)

# The walls show the many colours of the desktop, not a blank screen. (A loaded machine may
# take a while to bring up the first frames; the wall files while it runs are counted by the
# hack program test.)
bound=30 wait_for box_moves "$work" 5000 || fail "no moving box: $changed pixels changed, $colours colours"

as_user xscreensaver-command -deactivate >/dev/null || fail "the daemon did not take -deactivate"
wait_for gone "$pid" || fail "quelm still runs after deactivation"
pgrep -u "$user" -x quelm >/dev/null && fail "a quelm process is left"
left=$(find "$rt" -name 'Quib*.bmp' -o -name 'quelm-walls-*')
[ -z "$left" ] || fail "wall files left: $left"
echo "1 passed, 0 failed"
