#!/usr/bin/env bash
# Compares tembrik-play with mpv and mpg123 on the same local stream, in one run:
#   bench/audio/compare-players.sh [BUILD_DIR] [SECONDS]
# Starts its own fixtures (a private PulseAudio with a null sink, icecast2 fed by ffmpeg), plays the
# 128 kbit/s MP3 mount with each player into the null sink for SECONDS (60) from its first audio,
# and prints CPU seconds, peak resident memory and time from start to first audio, with each
# peer's figures as ratios to tembrik-play's. Installs mpv and mpg123 (apt) when they are missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$here/build}
seconds=${2:-60}
player=$build/Tembrik/tembrik-play
if [ ! -x "$player" ]; then
  echo "no $player: build first (cmake --build $build --target tembrik-play)" >&2
  exit 1
fi

missing=()
for p in mpv mpg123; do command -v "$p" >/dev/null || missing+=("$p"); done
if ((${#missing[@]})); then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

TEMBRIK_FIXTURE_DIR=$(mktemp -d /tmp/tembrik-bench.XXXXXX)
export TEMBRIK_FIXTURE_DIR
cleanup() {
  if [ -f "$TEMBRIK_FIXTURE_DIR/pids" ]; then
    tac "$TEMBRIK_FIXTURE_DIR/pids" | while read -r pid; do kill "$pid" 2>/dev/null || true; done
    for _ in $(seq 20); do  # up to two seconds to go quietly
      alive=0
      while read -r pid; do kill -0 "$pid" 2>/dev/null && alive=1; done <"$TEMBRIK_FIXTURE_DIR/pids"
      [ "$alive" -eq 0 ] && break
      sleep 0.1
    done
    tac "$TEMBRIK_FIXTURE_DIR/pids" | while read -r pid; do kill -9 "$pid" 2>/dev/null || true; done
  fi
  rm -rf "$TEMBRIK_FIXTURE_DIR"
}
trap cleanup EXIT
# shellcheck source=/dev/null
source "$here/tests/fixtures/pulse.sh"
# shellcheck source=/dev/null
source "$here/tests/fixtures/station.sh"
fixture_pulse_start
fixture_station_start >/dev/null
url=$TEMBRIK_ICECAST_URL/mp3
sleep 2  # let the station settle

measure() {
  /usr/bin/python3 "$here/bench/audio/measure.py" --monitor "$TEMBRIK_NULL_MONITOR" --seconds "$seconds" -- "$@"
}
echo "Playing $url for $seconds s with each player..." >&2
tembrik=$(measure "$player" "$url")
mpv=$(measure mpv --no-config --no-video --no-terminal --ao=pulse "$url")
mpg123=$(measure mpg123 -q -o pulse "$url")

/usr/bin/python3 - "$tembrik" "$mpv" "$mpg123" "$seconds" <<'PY'
import json, sys
names = ["tembrik-play", "mpv", "mpg123"]
runs = dict(zip(names, (json.loads(a) for a in sys.argv[1:4])))
seconds = float(sys.argv[4])
print(f"{seconds:.0f} s of 128 kbit/s MP3 from a local icecast into a PulseAudio null sink")
print(f"{'player':<14}{'CPU s':>8}{'peak RSS MB':>13}{'first audio ms':>16}")
for n in names:
    r = runs[n]
    print(f"{n:<14}{r['cpu_s']:>8.3f}{r['peak_rss_mb']:>13.1f}{str(r['first_audio_ms']):>16}")
t = runs["tembrik-play"]
print("ratios, peer / tembrik-play (above 1: tembrik-play is ahead):")
for n in names[1:]:
    r = runs[n]
    def ratio(key):
        return "n/a" if not t[key] or r[key] is None else f"{r[key] / t[key]:.2f}"
    print(f"  {n:<12} CPU {ratio('cpu_s')}   memory {ratio('peak_rss_mb')}   first audio {ratio('first_audio_ms')}")
PY
