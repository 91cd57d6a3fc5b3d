#!/usr/bin/env bash
# Runs a command with the desktop portal at hand inside a Wayland session (run it under
# scripts/with-sway.sh): a session bus of its own, which starts xdg-desktop-portal and its
# wlroots backend when first asked, and a PipeWire daemon, which that backend will not start
# without. Keeps the command's exit code.
set -uo pipefail
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${QUELM_PORTAL_BUS:-}" ]; then
  # The backend is picked by XDG_CURRENT_DESKTOP; the bus passes its environment on.
  exec env XDG_CURRENT_DESKTOP=sway QUELM_PORTAL_BUS=1 dbus-run-session -- "$0" "$@"
fi
pipewire >"$TMPDIR/pipewire.log" 2>&1 &
pipewire_pid=$!
trap 'kill "$pipewire_pid" 2>/dev/null; wait "$pipewire_pid" 2>/dev/null' EXIT
# PipeWire listens once its socket is there (bounded wait).
for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.05; done
"$@"
