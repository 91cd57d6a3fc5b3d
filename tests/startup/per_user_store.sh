#!/usr/bin/env bash
# A system-wide install: the program's folder cannot be written by the user, so the INI
# file and the wall files live in the per-user folder, whose INI is read first.
# Usage: per_user_store.sh PATH-TO-QUELM   (needs DISPLAY)
set -uo pipefail
. "$(dirname "$0")/e2e_common.sh"
user=quelm-store
[ "$(id -u)" -eq 0 ] || skip "needs root to act as a plain user"
plain_user "$user"
work=$(mktemp -d /tmp/quelm-store.XXXXXX)
chmod 755 "$work"
mkdir -m 755 "$work/bin"
install -m 755 "$1" "$work/bin/quelm"
data=$work/data rt=$work/runtime
mkdir -m 700 "$data" "$rt" && chown "$user" "$data" "$rt"
trap 'pkill -u "$user" -x quelm; rm -rf "$work"' EXIT
# Pic区分 in code page 932
key=$(printf 'Pic\x8b\xe6\x95\xaa')
printf '[Section]\r\n%s= 0\r\n' "$key" >"$work/bin/Quelm.ini"
before=$(md5sum <"$work/bin/Quelm.ini")

walls_in() { find "$1" -maxdepth 1 -name 'Quib*.bmp' | wc -l; }
shown() { xwininfo -root -tree | grep -q '"Quib_Main"'; }
# Shows for a second, counting the walls beside the program and per user, then ends the show.
show_for_a_while() {
  runuser -u "$user" -- env DISPLAY="$DISPLAY" HOME="$work" XDG_DATA_HOME="$data" XDG_RUNTIME_DIR="$rt" \
    "$work/bin/quelm" /s &
  wait_for shown || fail "the show did not start"
  local pid
  pid=$(pgrep -u "$user" -x quelm)
  sleep 1
  seen_user=$(walls_in "$data/quelm") seen_prog=$(walls_in "$work/bin")
  echo "walls beside the program: $seen_prog, per user: $seen_user"
  kill -TERM "$pid"
  wait_for gone "$pid" || fail "the show did not end on SIGTERM"
  wait
}

# The program's INI says desktop capture; the walls go to the per-user folder.
show_for_a_while
[ "$seen_prog" -eq 0 ] || fail "wall files written beside the program"
[ "$seen_user" -eq 6 ] || fail "expected six wall files in the per-user folder, saw $seen_user"
[ "$(walls_in "$data/quelm")" -eq 0 ] || fail "wall files left in the per-user folder"

# A per-user INI is read first: picture kind 2 prepares no walls.
printf '[Section]\n%s= 2\n' "$key" >"$data/quelm/Quelm.ini"
chown "$user" "$data/quelm/Quelm.ini"
show_for_a_while
[ "$seen_user" -eq 0 ] || fail "the per-user INI was not read first ($seen_user walls)"
[ "$(md5sum <"$work/bin/Quelm.ini")" = "$before" ] || fail "the program's INI changed"
echo "1 passed, 0 failed"
