#!/usr/bin/env bash
# The whole program playing a station, side by side with mpv and mpg123 in one run:
#   bench/playback/compare-program.sh [BUILD_DIR] [SECONDS]
# Starts its own fixtures (virtual screen, private PulseAudio with a null sink, local icecast),
# lays out a copy of the program directory whose settings reopen a station on the local MP3 mount
# at start, and measures each player for SECONDS (60) from its first audio: CPU seconds, peak
# resident memory, and time from start to first audio (for the program that includes its start-up
# and the play request it makes there). The window is shown on the virtual screen all along.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$here/build}
seconds=${2:-60}
program=$build/Tembrik
[ -x "$program/tembrik" ] || { echo "no $program/tembrik: build first" >&2; exit 1; }

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
    sleep 0.3
    tac "$TEMBRIK_FIXTURE_DIR/pids" | while read -r pid; do kill -9 "$pid" 2>/dev/null || true; done
  fi
  rm -rf "$TEMBRIK_FIXTURE_DIR"
}
trap cleanup EXIT
for f in display pulse station; do
  # shellcheck source=/dev/null
  source "$here/tests/fixtures/$f.sh"
done
fixture_display_start
fixture_pulse_start
fixture_station_start >/dev/null
url=$TEMBRIK_ICECAST_URL/mp3
sleep 2

# A program directory that reopens station 1 (the local mount) at start.
dir=$TEMBRIK_FIXTURE_DIR/program
cp -r "$program" "$dir"
rm -rf "$dir/Stations" && mkdir "$dir/Stations"
cp "$here/data/Stations/1.png" "$dir/Stations/1.png"
printf '%s\r\nLocal Tone\r\n0\r\n' "$url" >"$dir/Stations/play1.txt"
printf 'check_updates\r\n0\r\nopen_last\r\n1\r\nstart_volume\r\n25\r\nlast_number\r\n1\r\nautorun\r\n0\r\nbuffer\r\n3\r\nequalizer\r\n0\r\n' >"$dir/config.txt"

measure() {
  /usr/bin/python3 "$here/bench/audio/measure.py" --monitor "$TEMBRIK_NULL_MONITOR" --seconds "$seconds" -- "$@"
}
echo "Playing $url for $seconds s with each player..." >&2
tembrik=$(measure "$dir/tembrik")
mpv=$(measure mpv --no-config --no-video --no-terminal --ao=pulse "$url")
mpg123=$(measure mpg123 -q -o pulse "$url")

/usr/bin/python3 - "$tembrik" "$mpv" "$mpg123" "$seconds" <<'PY'
import json, sys
names = ["tembrik", "mpv", "mpg123"]
runs = dict(zip(names, (json.loads(a) for a in sys.argv[1:4])))
seconds = float(sys.argv[4])
print(f"{seconds:.0f} s of 128 kbit/s MP3 from a local icecast into a PulseAudio null sink, window shown")
print(f"{'player':<10}{'CPU s':>8}{'CPU s/min':>11}{'peak RSS MB':>13}{'first audio ms':>16}")
for n in names:
    r = runs[n]
    print(f"{n:<10}{r['cpu_s']:>8.3f}{r['cpu_s'] * 60 / seconds:>11.3f}{r['peak_rss_mb']:>13.1f}{str(r['first_audio_ms']):>16}")
t = runs["tembrik"]
print("ratios, peer / tembrik (above 1: tembrik is ahead):")
for n in names[1:]:
    r = runs[n]
    def ratio(key):
        return "n/a" if not t[key] or r[key] is None else f"{r[key] / t[key]:.2f}"
    print(f"  {n:<8} CPU {ratio('cpu_s')}   memory {ratio('peak_rss_mb')}   first audio {ratio('first_audio_ms')}")
PY
