#!/usr/bin/env bash
# Runs a command inside a headless sway of its own (one 1024x768 output, HEADLESS-1, with an
# orange background), then stops sway. Usage: scripts/with-sway.sh COMMAND [ARGS...]
#
# sway refuses to run as root: run as root, this script makes (once) the unprivileged user
# $QUELM_SWAY_USER (default quelm-test) and runs sway and COMMAND as that user; run as
# anyone else, it runs both as the caller. COMMAND must be readable and executable by that
# user (the folders above it too). COMMAND gets WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK,
# DISPLAY (Xwayland's; empty with QUELM_SWAY_XWAYLAND=0), TMPDIR (a folder of its own that
# the user owns) and QUELM_SWAY_BACKGROUND (the background colour, rrggbb) in its environment,
# plus the caller's QUELM_*, QT_*, sanitizer options and DBUS_SESSION_BUS_ADDRESS. It keeps
# COMMAND's exit code.
#
# QUELM_SWAY_TERMINAL=1: a floating foot terminal at 50,50, 400x300 logical pixels, drawn
# before COMMAND starts. Each run has its own runtime folder and sockets, so runs can overlap.
set -uo pipefail

background=ff8000
ready_bound_s=15
user=${QUELM_SWAY_USER:-quelm-test}

if [ "$(id -u)" -eq 0 ]; then
  if ! id "$user" >/dev/null 2>&1; then
    # Two runs starting at once must not both make the user.
    exec {lock}>/run/quelm-sway-user.lock
    flock -w 30 "$lock"
    id "$user" >/dev/null 2>&1 || useradd -m -s /bin/sh "$user" || exit 1
    exec {lock}>&-
  fi
  as_user=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups --)
  home=$(getent passwd "$user" | cut -d: -f6)
else
  user=$(id -un)
  as_user=()
  home=$HOME
fi

work=$(mktemp -d /tmp/quelm-sway.XXXXXX)
chmod 711 "$work"
runtime="$work/runtime"
mkdir -m 700 "$runtime" "$work/tmp"
chown "$user:" "$runtime" "$work/tmp"
sway_pid=""
cleanup() {
  if [ -n "$sway_pid" ]; then
    kill "$sway_pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$sway_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$sway_pid" 2>/dev/null
    # What sway started (swaybg, foot, Xwayland) is in sway's own process group.
    kill -- -"$sway_pid" 2>/dev/null
    wait "$sway_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# sway writes what it passes to the programs it execs (WAYLAND_DISPLAY, SWAYSOCK, DISPLAY)
# into a file through this script, once its socket is listening.
cat >"$work/tell-env.sh" <<EOF
#!/bin/sh
env >"$runtime/sway-env.tmp" && mv "$runtime/sway-env.tmp" "$runtime/sway-env"
EOF
chmod 755 "$work/tell-env.sh"
{
  echo "output HEADLESS-1 resolution 1024x768 position 0 0"
  echo "output * bg #$background solid_color"
  if [ "${QUELM_SWAY_XWAYLAND:-1}" = 0 ]; then echo "xwayland disable"; else echo "xwayland enable"; fi
  echo "for_window [app_id=\"foot\"] floating enable, resize set 400 300, move position 50 50"
  echo "exec $work/tell-env.sh"
  if [ "${QUELM_SWAY_TERMINAL:-0}" = 1 ]; then echo "exec foot"; fi
} >"$work/config"
chmod 644 "$work/config"

base_env=(env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home" USER="$user" LOGNAME="$user"
  XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8)
setsid "${as_user[@]}" "${base_env[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  WLR_HEADLESS_OUTPUTS=1 sway -c "$work/config" >"$work/sway.log" 2>&1 &
sway_pid=$!

fail() {
  echo "with-sway: $1" >&2
  tail -n 20 "$work/sway.log" >&2
  exit 1
}
# Bounded waits: until sway has exec'd (its socket listens), answers IPC, shows its background.
deadline=$((SECONDS + ready_bound_s))
until [ -f "$runtime/sway-env" ]; do
  kill -0 "$sway_pid" 2>/dev/null || fail "sway exited"
  [ $SECONDS -lt $deadline ] || fail "sway did not start within ${ready_bound_s}s"
  sleep 0.05
done
sway_var() { sed -n "s/^$1=//p" "$runtime/sway-env"; }
wayland_display=$(sway_var WAYLAND_DISPLAY)
swaysock=$(sway_var SWAYSOCK)
display=$(sway_var DISPLAY)
user_env=("${base_env[@]}" WAYLAND_DISPLAY="$wayland_display" SWAYSOCK="$swaysock" DISPLAY="$display"
  TMPDIR="$work/tmp" QUELM_SWAY_BACKGROUND="$background")
while IFS= read -r var; do user_env+=("$var"); done < <(env | grep -E '^(QUELM_|QT_|[AL]SAN_OPTIONS=|UBSAN_OPTIONS=|DBUS_SESSION_BUS_ADDRESS=)')

# The colour of one pixel of the output, rrggbb, as grim reads it (PPM: header, then RGB).
pixel_at() {
  "${as_user[@]}" "${user_env[@]}" grim -g "$1,$2 1x1" -t ppm - 2>/dev/null | tail -c 3 | od -An -tx1 | tr -d ' \n'
}
until [ "$(pixel_at 1000 700)" = "$background" ]; do
  [ $SECONDS -lt $deadline ] || fail "the background was not drawn within ${ready_bound_s}s"
  sleep 0.05
done
if [ "${QUELM_SWAY_TERMINAL:-0}" = 1 ]; then
  # The terminal has drawn once its middle is no longer the background.
  until p=$(pixel_at 250 200) && [ -n "$p" ] && [ "$p" != "$background" ]; do
    [ $SECONDS -lt $deadline ] || fail "the terminal was not drawn within ${ready_bound_s}s"
    sleep 0.05
  done
fi

# A command the user may not run where it lies (a build tree only root can enter) is run
# from a copy; what it opens itself must still be within the user's reach.
command=("$@")
if [ ${#as_user[@]} -gt 0 ] && [ -f "$1" ] && ! "${as_user[@]}" test -x "$1"; then
  mkdir "$work/bin" && cp "$1" "$work/bin/" && chmod 755 "$work/bin" "$work/bin/$(basename "$1")"
  command[0]="$work/bin/$(basename "$1")"
fi
"${as_user[@]}" "${user_env[@]}" "${command[@]}"
