#!/usr/bin/env bash
# Installs what the player needs (nothing of the tests), builds, lays out build/Tembrik/ and starts
# the player.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/scripts/setup.sh" run
exe="$here/build/Tembrik/tembrik"

# On a machine without a desktop (a server, a container) give the player a virtual screen and a
# sound server of this session's own, and end both when the player ends; on a desktop both are
# already there and nothing is started.
started=()
stop_started() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop_started EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  n=77
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  echo "No display found: starting a virtual screen (Xvfb :$n) until the player ends."
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  started+=("$!")
  export DISPLAY=":$n"
  sleep 1
fi
if ! pactl info >/dev/null 2>&1; then
  echo "No sound server found: starting PulseAudio for this session only (no system service);" \
    "it ends with the player."
  pulseaudio --daemonize=no --exit-idle-time=-1 >/dev/null 2>&1 &
  started+=("$!")
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
fi
"$exe" "$@"
