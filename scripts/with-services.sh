#!/usr/bin/env bash
# Runs a command with its own X server (Xvfb, Mesa's llvmpipe for OpenGL) and its own
# sound server (PulseAudio with a null sink named "out"), then stops both.
# Usage: scripts/with-services.sh COMMAND [ARGS...]
# Exports DISPLAY, PULSE_SERVER, QUELM_SOUND_SERVER_DIR and XDG_RUNTIME_DIR to the command,
# and DBUS_SESSION_BUS_ADDRESS when none is set; keeps its exit code. QUELM_XVFB_ARGS: more
# arguments for Xvfb (say, "-extension MIT-SHM").
set -uo pipefail

work=$(mktemp -d /tmp/quelm-services.XXXXXX)
chmod 700 "$work"
export XDG_RUNTIME_DIR="$work/runtime"
# No session bus unless the caller has one: D-Bus's library would otherwise start one through
# the X server for the first client that asks (PulseAudio, a Qt program), and later clients
# would find that one instead of starting their own.
export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-disabled:}
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
  for f in "$work"/pulse/*.pid; do [ -f "$f" ] && pids+=("$(cat "$f")"); done
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; kill -CONT "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do
    { wait "$p"; } 2>/dev/null
    for _ in $(seq 1 40); do kill -0 "$p" 2>/dev/null || break; sleep 0.05; done
  done
  rm -rf "$work"
}
trap cleanup EXIT

# X server on a free display number it picks itself. Several servers starting at once can
# race for the same number; a server that loses the race is started again.
display=""
for attempt in 1 2 3 4 5; do
  exec {dfd}<> <(:)
  # shellcheck disable=SC2086 # QUELM_XVFB_ARGS is a list of words
  Xvfb -displayfd "$dfd" -screen 0 "${QUELM_SCREEN:-1024x768x24}" -noreset -nolisten tcp ${QUELM_XVFB_ARGS:-} \
    >"$work/xvfb.log" 2>&1 &
  xpid=$!
  for _ in $(seq 1 100); do
    read -r -t 0.1 display <&"$dfd" && break
    kill -0 "$xpid" 2>/dev/null || break
  done
  exec {dfd}<&-
  if [ -n "$display" ] && kill -0 "$xpid" 2>/dev/null; then
    pids+=("$xpid")
    break
  fi
  kill "$xpid" 2>/dev/null; { wait "$xpid"; } 2>/dev/null
  display=""
  sleep "0.$((RANDOM % 5 + 1))"
done
if [ -z "$display" ]; then
  echo "with-services: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1
fi
export DISPLAY=":$display"
# Only this X server: not a Wayland session the caller may be in.
unset WAYLAND_DISPLAY WAYLAND_SOCKET
export LIBGL_ALWAYS_SOFTWARE=1

# Sound server with a null sink (scripts/sound-server.sh); tests find its process id, and
# how to start it again, through QUELM_SOUND_SERVER_DIR.
if command -v pulseaudio >/dev/null && [ "${QUELM_NO_SOUND:-0}" != 1 ]; then
  export QUELM_SOUND_SERVER_DIR="$work/pulse"
  "$(dirname "$0")/sound-server.sh" "$QUELM_SOUND_SERVER_DIR"
  export PULSE_SERVER="unix:$QUELM_SOUND_SERVER_DIR/native"
fi

"$@"
