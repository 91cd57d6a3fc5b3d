#!/usr/bin/env bash
# End to end with the real mate-screensaver: Quelm installed as its package installs it (the
# hack link in /usr/libexec/xscreensaver, the desktop entry in
# /usr/share/applications/screensavers), chosen as MATE's one theme. Activating runs Quelm in
# MATE's window and the screen shows the box, not one colour; deactivating ends Quelm with no
# wall folder left.
# Usage: mate_screensaver_e2e.sh BUILD_DIR pictures|desktop
#   pictures: the walls show six pictures of the user's choice
#   desktop:  the walls show the desktop, which MATE's window covers as Quelm starts
# Needs DISPLAY and root: it puts the link and the entry into the system's folders while it
# runs (never over a Quelm installed there) and removes them again.
set -uo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
build=$(cd "$1" && pwd)
source=$2

hack=/usr/libexec/xscreensaver/quelm
entry=/usr/share/applications/screensavers/quelm.desktop

# --- Inside the session bus: MATE's settings, the daemon, the show --------------------------
if [ "${QUELM_MATE_SESSION:-}" = 1 ]; then
  work=$QUELM_MATE_WORK
  mate=""
  stop_daemon() {
    [ -n "$mate" ] || return
    mate-screensaver-command --exit >/dev/null 2>&1
    kill "$mate" 2>/dev/null
    wait "$mate" 2>/dev/null
  }
  trap stop_daemon EXIT
  gsettings set org.mate.screensaver mode "'single'"
  # The theme's name is the entry's desktop file id: "screensavers-" and the file's name.
  gsettings set org.mate.screensaver themes "['screensavers-quelm']"
  gsettings set org.mate.screensaver lock-enabled false
  [ "$(gsettings get org.mate.screensaver themes)" = "['screensavers-quelm']" ] || fail "MATE's settings were not kept"
  # A MATE session names its desktop; entries shown only in MATE need it.
  XDG_CURRENT_DESKTOP=MATE stdbuf -oL -eL mate-screensaver --no-daemon --debug >"$work/mate.log" 2>&1 &
  mate=$!
  for _ in $(seq 1 100); do mate-screensaver-command --query >/dev/null 2>&1 && break; sleep 0.1; done
  walls_before=$(ls -d /tmp/quelm-walls-* 2>/dev/null)
  mate-screensaver-command --activate >/dev/null || fail "the daemon did not take --activate"

  pid=""
  for _ in $(seq 1 100); do pid=$(pgrep -P "$mate" -x quelm) && break; sleep 0.1; done
  [ -n "$pid" ] || { grep -i 'command for job' "$work/mate.log" >&2; fail "mate-screensaver did not start quelm"; }
  window=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
  [ -n "$window" ] || fail "quelm was given no window"
  for _ in $(seq 1 100); do
    xwininfo -children -id "$window" 2>/dev/null | grep -qE '^ +[1-9][0-9]* child' && break; sleep 0.1
  done
  xwininfo -children -id "$window" | grep -qE '^ +[1-9][0-9]* child' || fail "nothing of quelm's in MATE's window $window"

  # The box is drawn and moves: two screenshots differ and show many colours, not one.
  shown=0
  for _ in $(seq 1 40); do
    import -window root "$work/a.png" || fail "no screenshot"
    sleep 0.5
    import -window root "$work/b.png" || fail "no screenshot"
    changed=$(compare -metric AE -fuzz 5% "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1)
    colours=$(convert "$work/b.png" -format %k info:)
    if [ "${changed%.*}" -gt 1000 ] && [ "$colours" -gt 1000 ]; then shown=1; break; fi
  done
  echo "pixels changed between frames: $changed; colours on screen: $colours"
  [ "$shown" -eq 1 ] || fail "the screen shows no moving box in colour ($source walls)"
  walls=$(comm -13 <(echo "$walls_before") <(ls -d /tmp/quelm-walls-* 2>/dev/null))
  [ -n "$walls" ] || fail "the show keeps no wall folder in /tmp (MATE gives it no XDG_RUNTIME_DIR)"

  mate-screensaver-command --deactivate >/dev/null || fail "the daemon did not take --deactivate"
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "quelm still runs after deactivation"
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
cleanup() {
  [ -n "$desk" ] && kill "$desk" 2>/dev/null
  rm -f "$hack" "$entry"
  rm -rf "$work"
}
trap cleanup EXIT

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
if [ "$source" = pictures ]; then
  mkdir -p "$work/pictures"
  ini=$(printf '[Section]\nPic\x8b\xe6\x95\xaa= 1')
  for n in 1 2 3 4 5 6; do
    picture=$work/pictures/p$n.$([ $((n % 2)) -eq 1 ] && echo jpg || echo bmp)
    convert -size 320x240 -seed "$n" plasma:fractal "$picture" || fail "cannot make a picture"
    ini+=$'\n'"Path$n=$picture"
  done
else
  ini=$(printf '[Section]\nPic\x8b\xe6\x95\xaa= 0')
fi
printf '%s\n' "$ini" >"$(dirname "$program")/Quelm.ini"

# A desktop with something on it, which MATE's window covers as the show starts.
convert -size 1024x768 -seed 7 plasma:fractal "$work/desk.png" || fail "cannot make a desktop picture"
display -window root "$work/desk.png" 2>/dev/null &
desk=$!

mkdir -p "$work/home" && mkdir -m 700 "$work/runtime"
HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QUELM_MATE_SESSION=1 QUELM_MATE_WORK=$work \
  dbus-run-session -- "$0" "$@" 2>&1 | grep -v '^dbus-daemon\['
rc=${PIPESTATUS[0]}
[ "$rc" -eq 0 ] || { echo "--- mate-screensaver's log (tail)"; tail -n 20 "$work/mate.log"; }
exit "$rc"
