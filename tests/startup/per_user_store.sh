#!/usr/bin/env bash
# A system-wide install: the program's folder cannot be written by the user, so the INI
# file and the wall files live in the per-user folder, whose INI is read first.
# Usage: per_user_store.sh PATH-TO-QUELM   (needs DISPLAY)
set -uo pipefail
quelm=$1
user=quelm-store
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "needs root to act as a plain user; skipped"; exit 77; }
id "$user" >/dev/null 2>&1 || useradd -m -s /bin/sh "$user" || fail "cannot add user $user"

work=$(mktemp -d /tmp/quelm-store.XXXXXX)
chmod 755 "$work"
mkdir -m 755 "$work/bin"
install -m 755 "$quelm" "$work/bin/quelm"
data="$work/data"
mkdir -m 700 "$data" && chown "$user" "$data"
trap 'pkill -u "$user" -x quelm 2>/dev/null; rm -rf "$work"' EXIT
rt="$work/runtime"
mkdir -m 700 "$rt" && chown "$user" "$rt"
run() { runuser -u "$user" -- env DISPLAY="$DISPLAY" HOME="$work" XDG_DATA_HOME="$data" XDG_RUNTIME_DIR="$rt" "$work/bin/quelm" "$@"; }
# Pic区分 in code page 932
key=$(printf 'Pic\x8b\xe6\x95\xaa')
printf '[Section]\r\n%s= 0\r\n' "$key" > "$work/bin/Quelm.ini"
before=$(md5sum < "$work/bin/Quelm.ini")

walls_in() { find "$1" -maxdepth 1 -name 'Quib*.bmp' | wc -l; }
show_for_a_while() {
  run /s &
  local pid=""
  for _ in $(seq 1 100); do
    pid=$(pgrep -u "$user" -x quelm | head -1)
    [ -n "$pid" ] && xwininfo -root -tree | grep -q '"Quib_Main"' && break; sleep 0.1
  done
  [ -n "$pid" ] || fail "the show did not start"
  sleep 1
  echo "walls beside the program: $(walls_in "$work/bin"), per user: $(walls_in "$data/quelm")"
  seen_user=$(walls_in "$data/quelm"); seen_prog=$(walls_in "$work/bin")
  kill -TERM "$pid"
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "the show did not end on SIGTERM"
  wait
}

# The program's INI says desktop capture; the walls go to the per-user folder.
show_for_a_while
[ "$seen_prog" -eq 0 ] || fail "wall files written beside the program"
[ "$seen_user" -eq 6 ] || fail "expected six wall files in the per-user folder, saw $seen_user"
[ "$(walls_in "$data/quelm")" -eq 0 ] || fail "wall files left in the per-user folder"

# A per-user INI is read first: picture kind 2 prepares no walls.
printf '[Section]\n%s= 2\n' "$key" > "$data/quelm/Quelm.ini"
chown "$user" "$data/quelm/Quelm.ini"
show_for_a_while
[ "$seen_user" -eq 0 ] || fail "the per-user INI was not read first ($seen_user walls)"
[ "$(md5sum < "$work/bin/Quelm.ini")" = "$before" ] || fail "the program's INI changed"
echo "1 passed, 0 failed"
