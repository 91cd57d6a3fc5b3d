#!/usr/bin/env bash
# End to end with the real mate-screensaver: Quelm installed as its package installs it, chosen
# as MATE's one theme. Activating runs Quelm in MATE's window and the screen shows the box, not
# one colour; deactivating ends Quelm with no wall folder left.
# Usage: mate_screensaver_e2e.sh BUILD_DIR pictures|desktop   (the walls: six pictures, or the
# desktop, which MATE's window covers as Quelm starts). Needs DISPLAY and root: the hack link and
# the desktop entry go into the system's folders while it runs (never over a Quelm there).
set -uo pipefail
. "$(dirname "$0")/e2e_common.sh"
build=$(cd "$1" && pwd)
source=$2
hack=/usr/libexec/xscreensaver/quelm
entry=/usr/share/applications/screensavers/quelm.desktop

# --- Inside the session bus: MATE's settings, the daemon, the show --------------------------
if [ "${QUELM_MATE_SESSION:-}" = 1 ]; then
  work=$QUELM_MATE_WORK
  gsettings set org.mate.screensaver mode "'single'"
  # The theme's name is the entry's desktop file id: "screensavers-" and the file's name.
  gsettings set org.mate.screensaver themes "['screensavers-quelm']"
  gsettings set org.mate.screensaver lock-enabled false
  [ "$(gsettings get org.mate.screensaver themes)" = "['screensavers-quelm']" ] || fail "MATE's settings were not kept"
  # A MATE session names its desktop; entries shown only in MATE need it.
  XDG_CURRENT_DESKTOP=MATE stdbuf -oL -eL mate-screensaver --no-daemon --debug >"$work/mate.log" 2>&1 &
  mate=$!
  trap 'mate-screensaver-command --exit >/dev/null 2>&1; kill $mate 2>/dev/null; wait $mate' EXIT
  wait_for mate-screensaver-command --query >/dev/null 2>&1
  walls_before=$(ls -d /tmp/quelm-walls-* 2>/dev/null)
  mate-screensaver-command --activate >/dev/null || fail "the daemon did not take --activate"
  wait_for pgrep -P "$mate" -x quelm >/dev/null || { grep -i 'command for job' "$work/mate.log" >&2; fail "mate-screensaver did not start quelm"; }
  pid=$(pgrep -P "$mate" -x quelm)
  window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
  [ -n "$window" ] || fail "quelm was given no window"
  has_child() { xwininfo -children -id "$window" 2>/dev/null | grep -qE '^ +[1-9][0-9]* child'; }
  wait_for has_child || fail "nothing of quelm's in MATE's window $window"

  bound=30 wait_for box_moves "$work" 1000 || fail "no moving box in colour ($source walls): $changed pixels changed, $colours colours"
  walls=$(comm -13 <(echo "$walls_before") <(ls -d /tmp/quelm-walls-* 2>/dev/null))
  [ -n "$walls" ] || fail "the show keeps no wall folder in /tmp (MATE gives it no XDG_RUNTIME_DIR)"

  mate-screensaver-command --deactivate >/dev/null || fail "the daemon did not take --deactivate"
  wait_for gone "$pid" || fail "quelm still runs after deactivation"
  for folder in $walls; do [ -e "$folder" ] && fail "wall folder left: $folder"; done
  echo "1 passed, 0 failed"
  exit 0
fi

# --- Outside: install, a session bus of its own, clean up ----------------------------------
command -v mate-screensaver >/dev/null || skip "mate-screensaver is not installed"
[ "$(id -u)" -eq 0 ] || skip "puts files into /usr: needs root"
work=$(mktemp -d /tmp/quelm-mate.XXXXXX)
# A link left by an earlier run of this test points into a folder like $work; anything else
# is a Quelm installed here, left as it is.
if [ -L "$hack" ] && [[ "$(readlink "$hack")" == /tmp/quelm-mate.* ]]; then rm -f "$hack" "$entry"; fi
if [ -e "$hack" ] || [ -L "$hack" ] || [ -e "$entry" ]; then rm -rf "$work"; skip "a Quelm is installed here"; fi
desk=""
trap '[ -n "$desk" ] && kill $desk 2>/dev/null; rm -f "$hack" "$entry"; rm -rf "$work"' EXIT

# The build installed as the package is (cpack packs the same install), into a folder of the
# test's; the system's folders get the link to its program and its desktop entry.
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }
program=$work/stage/usr/bin/quelm
ln -s "$program" "$hack" || fail "cannot put the link $hack"
cp "$work/stage$entry" "$entry" || fail "cannot put the entry $entry"
grep -qx "Exec=$hack -root" "$entry" || fail "the entry does not run $hack -root: $(grep '^Exec=' "$entry")"

# The settings beside the program (a folder root can write): six pictures (JPEG and BMP), or
# the desktop and no pictures at all.
ini=$(dirname "$program")/Quelm.ini
if [ "$source" = pictures ]; then
  printf '[Section]\nPic\x8b\xe6\x95\xaa= 1\n' >"$ini"
  for n in 1 2 3 4 5 6; do
    picture=$work/p$n.$([ $((n % 2)) -eq 1 ] && echo jpg || echo bmp)
    convert -size 320x240 -seed "$n" plasma:fractal "$picture" || fail "cannot make a picture"
    echo "Path$n=$picture" >>"$ini"
  done
else
  printf '[Section]\nPic\x8b\xe6\x95\xaa= 0\n' >"$ini"
fi
show_desktop "$work" # which MATE's window covers as the show starts

mkdir -p "$work/home" && mkdir -m 700 "$work/runtime"
HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QUELM_MATE_SESSION=1 QUELM_MATE_WORK=$work \
  dbus-run-session -- "$0" "$@" 2>&1 | grep -v '^dbus-daemon\['
rc=${PIPESTATUS[0]}
[ "$rc" -eq 0 ] || { echo "--- mate-screensaver's log (tail)"; tail -n 20 "$work/mate.log"; }
exit "$rc"
