#!/usr/bin/env bash
# Starts a PulseAudio server with a null sink named "out" on the socket DIR/native, and a
# silent stream that keeps the sink awake so that new streams start at once; returns once the
# server answers. Their process ids go to DIR/server.pid and DIR/keepawake.pid. Run again
# after the server has ended, it starts a new one on the same socket (tests restart the
# server this way).
# Usage: scripts/sound-server.sh DIR
set -uo pipefail
dir=$1
mkdir -p "$dir"
HOME="$dir/.." pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
  --load="module-null-sink sink_name=out" \
  --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
  >>"$dir/server.log" 2>&1 &
echo $! >"$dir/server.pid"
export PULSE_SERVER="unix:$dir/native"
for _ in $(seq 1 100); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pacat -p --raw --latency-msec=20 </dev/zero >/dev/null 2>&1 &
echo $! >"$dir/keepawake.pid"
