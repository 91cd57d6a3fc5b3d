#!/usr/bin/env bash
# The show in a Wayland session, on real compositors; run under scripts/with-sway.sh.
#   wayland_show_e2e.sh QUELM sway     natively, the desktop on its walls, a second start ending
#                                      at once; with Xwayland: started by swayidle, no X11 call,
#                                      and Xwayland as the fallback; without: on two outputs
#   wayland_show_e2e.sh QUELM weston   no capture protocol there: the carried picture
set -uo pipefail
if [ "$2" = sway ] && [ -z "${QUELM_E2E_BUS:-}" ]; then
  # A session bus, as desktops have: without one, libdbus would start one through X11.
  exec env QUELM_E2E_BUS=1 dbus-run-session -- "$0" "$@"
fi
work=$TMPDIR/wayland-e2e
mkdir -p "$work" && cp "$1" "$work/quelm" && cd "$work" || exit 1 # its INI and wall files beside it
failed=0
check() { if "${@:2}"; then echo "ok - $1"; else echo "FAIL - $1"; failed=$((failed + 1)); fi; }
wait_until() { local end=$((SECONDS + 15)); until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.05; done; }
# Ended with a code that matches $1 (0 unless given), its wall files gone.
ended() { [[ "$(cat code 2>/dev/null)" == ${1:-0} ]] && ! ls Quib?.bmp >/dev/null 2>&1; }
lines() { grep -c "$@" stderr; }
show() { rm -f code; (./quelm /s 2>stderr; echo $? >code) & shell=$!; }
is_desktop() { [ "$(compare -metric AE desktop.png Quib1.bmp null: 2>&1)" = 0 ]; }
blue() { convert "$1" -fill black +opaque '#0000ff' -fill white -opaque '#0000ff' -format '%[fx:mean]' info:; }

if [ "$2" = weston ]; then
  socket=quelm-e2e-$$
  weston --backend=headless-backend.so --use-pixman --no-config --idle-time=0 --debug --socket="$socket" &>/dev/null &
  weston=$!
  trap 'kill $weston 2>/dev/null' EXIT
  wait_until test -S "$XDG_RUNTIME_DIR/$socket" || exit 1
  on_weston() { WAYLAND_DISPLAY=$socket DISPLAY= DBUS_SESSION_BUS_ADDRESS= "$@"; }
  full_screen() { on_weston weston-debug scene-graph | grep -q "background surface for .*'Quib_Main'"; }
  on_weston show
  check "the show is full screen on weston" wait_until full_screen
  check "one quelm: line: the walls show the carried picture" \
    test "$(lines '^quelm: ')$(lines 'the picture the program carries')" = 11
  check "its first wall file is a picture, not one colour" test "$(identify -format %k Quib1.bmp)" -gt 100
  pkill -TERM -x -P $shell quelm
  check "SIGTERM ends it (0), its wall files with it" wait_until ended
  # The compositor goes away under a show: it ends within a second and leaves nothing.
  on_weston show
  check "a show again" wait_until full_screen
  kill -KILL $weston
  start=$SECONDS
  check "the compositor killed: the show ends, its wall files with it" wait_until ended '?*'
  check "within a second" test $((SECONDS - start)) -le 1
  exit $((failed > 0))
fi

tree() { swaymsg -t get_tree | jq -c "[$1]"; }
shows() { tree ".. | objects | select(.name? == \"Quib_Main\") | $1"; }
outputs=1
if [ -z "${DISPLAY:-}" ]; then # a second output, at twice the density, its desktop blue
  outputs=2
  swaymsg create_output >/dev/null && swaymsg output HEADLESS-2 resolution 640x480 position 1024 100 scale 2 bg '#0000ff' \
    solid_color >/dev/null
  drawn() { grim -t ppm -o HEADLESS-2 second.ppm && [ "$(blue second.ppm)" = 1 ]; }
  wait_until drawn
fi
grim -o HEADLESS-1 desktop.png
if [ $outputs = 1 ]; then # as the idle daemon starts it, a second without input
  swayidle -w timeout 1 "./quelm /s 2>stderr; echo \$? >code" &>/dev/null &
  idle=$!
  trap 'kill $idle 2>/dev/null' EXIT
else
  show
fi
covered() { # the outputs with a full-screen window of the show
  [ "$(tree ".nodes[] | .name as \$o | .. | objects | select(.name? == \"Quib_Main\" and .fullscreen_mode == 1)
    | \$o" | jq 'unique | length')" = $outputs ]
}
check "a full-screen window on each output ($outputs)" wait_until covered
check "on Qt's Wayland platform" test "$(shows .shell | jq -c unique)" = '["xdg_shell"]'
check "the first wall file is the desktop grim saw before: the background and the terminal" is_desktop
if [ $outputs = 2 ]; then
  box_blue() { grim -t ppm -o HEADLESS-2 second.ppm && [ "$(blue second.ppm)" != 0 ]; }
  check "the second output's box shows its own desktop" wait_until box_blue
  check "and the first's none of it" test "$(grim -o HEADLESS-1 - | blue -)" = 0
fi
second_start() { timeout 5 ./quelm "$1" && [ "$(tree '.. | objects | select(.pid?) | .name' | jq length)" = $((outputs + 1)) ]; }
check "a second /s ends at once, showing nothing" second_start /s # (windows: the show's and the terminal)
check "so does a /c" second_start /c
if [ $outputs = 1 ]; then
  wtype -s 1500 q # keys typed before the window has the keyboard are lost
  check "a key ends the show (0), its wall files with it" wait_until ended
  kill $idle # no second show when idle again
else
  second=$(tree '.nodes[] | select(.name == "HEADLESS-2") | .. | objects | select(.name? == "Quib_Main") | .id')
  swaymsg "[con_id=$(jq '.[0]' <<<"$second")] kill" >/dev/null
  check "the compositor's close request to one of its windows ends it (0), its wall files with it" wait_until ended
fi
check "no quelm: line, no grab asked" test "$(lines -i -e '^quelm: ' -e grab)" = 0

if [ $outputs = 1 ]; then
  sway=$(sed -n 's/.*\.\([0-9]*\)\.sock$/\1/p' <<<"$SWAYSOCK") # Xwayland starts in sway's session, when asked
  check "no X11 call: Xwayland never started" test "$(ps -o comm= -s "$sway" | grep -cx Xwayland)" = 0
  # A qt.conf beside the program hides Qt's Wayland platform, as a system without qt6-wayland lacks it.
  plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
  mkdir -p qt/platforms && ln -s "$plugins/platforms/libqxcb.so" qt/platforms/
  for family in "$plugins"/*; do [ "${family##*/}" = platforms ] || ln -s "$family" qt/; done
  printf '[Paths]\nPlugins=%s/qt\n' "$work" >qt.conf
  show
  on_xwayland() { [ "$(shows '[.shell, .fullscreen_mode]')" = '[["xwayland",1]]' ]; }
  check "without it the show is full screen on Xwayland" wait_until on_xwayland
  check "one quelm: line says so" test "$(lines '^quelm: ')$(lines '^quelm: .*Xwayland')" = 11
  check "and the walls still show the compositor's desktop" is_desktop
  wtype -s 1500 q
  check "a key ends it" wait_until ended
  said=$(DISPLAY= ./quelm /s 2>&1)
  check "with no X display either: the end (1), one line" test $? = 1 -a "$(grep -c . <<<"$said")" = 1
fi
exit $((failed > 0))
