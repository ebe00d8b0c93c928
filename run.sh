#!/usr/bin/env bash
# Installs what is missing, builds, lays out build/Tembrik/ and starts the player.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/scripts/setup.sh"
exe="$here/build/Tembrik/tembrik"

# On a machine without a desktop (a server, a container) give the player a virtual screen and a
# private sound server so it can still start; on a desktop both are already there.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the player on a virtual screen (Xvfb :77)."
  Xvfb :77 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  export DISPLAY=:77
  sleep 1
fi
if ! pactl info >/dev/null 2>&1; then
  echo "No sound server found: starting PulseAudio."
  pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1 || true
fi
exec "$exe" "$@"
