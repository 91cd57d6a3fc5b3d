# shellcheck shell=bash
# What the X11 end-to-end scripts share (sourced): failing and skipping, bounded waits, a
# desktop with something on it, and the box seen moving on the screen.
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
# Runs "$@" until it succeeds, for at most $bound seconds (10 unless set).
wait_for() {
  local end=$((SECONDS + ${bound:-10}))
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.05; done
}
gone() { ! kill -0 "$1" 2>/dev/null; }
plain_user() { id "$1" >/dev/null 2>&1 || useradd -m -s /bin/sh "$1" || fail "cannot add user $1"; }
# A picture of many colours on the root window, kept there by `display` ($desk), made in $1.
show_desktop() {
  convert -size 1024x768 -seed 7 plasma:fractal "$1/desk.png" || fail "cannot make a desktop picture"
  display -window root "$1/desk.png" 2>/dev/null &
  desk=$!
  many_colours() { [ "$(import -window root -colors 256 -format %k info: 2>/dev/null)" -gt 50 ]; }
  wait_for many_colours || fail "the desktop picture did not show"
}
# The box is drawn and moves: two screenshots (in $1) half a second apart differ, and the
# later shows more than $2 colours, not one.
box_moves() {
  import -window root "$1/a.png" && sleep 0.5 && import -window root "$1/b.png" || return 1
  changed=$(compare -metric AE -fuzz 5% "$1/a.png" "$1/b.png" null: 2>&1 | cut -d' ' -f1)
  colours=$(convert "$1/b.png" -format %k info:)
  [ "${changed%.*}" -gt 1000 ] && [ "$colours" -gt "$2" ]
}
