#!/usr/bin/env bash
# The whole program playing a station, side by side with mpv and mpg123 in one run:
#   bench/playback/compare-program.sh [BUILD_DIR] [SECONDS]
# Starts its own fixtures (virtual screen, private PulseAudio with a null sink, local icecast),
# lays out a copy of the program directory whose settings reopen a station on the local MP3 mount
# at start, and measures each player for SECONDS (60) from its first audio: CPU seconds, peak
# resident memory, and time from start to first audio (for the program that includes its start-up
# and the play request it makes there). The window is shown on the virtual screen all along.
# Goodvibes (Debian's GTK + GStreamer radio player) is measured beside them. Every figure counts the
# whole machine: the player's own CPU and the sound server's. Then runs that start the program
# without a station, click a logo once the window is idle and report the time from the click to
# first audio. Last, the cost of idling: the program with no station for SECONDS with its window
# shown, then minimised (no hide-to-tray yet), and Goodvibes with no station. And the peak memory of
# an empty Qt Widgets window (bench_qt_floor), the toolkit's own share of the program's figure.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$here/build}
seconds=${2:-60}
program=$build/Tembrik
[ -x "$program/tembrik" ] || { echo "no $program/tembrik: build first" >&2; exit 1; }

# shellcheck source=/dev/null
source "$here/bench/peers.sh"
bench_start display pulse station

# A program directory that reopens station 1 (the local mount) at start.
dir=$TEMBRIK_FIXTURE_DIR/program
cp -r "$program" "$dir"
rm -rf "$dir/Stations" && mkdir "$dir/Stations"
cp "$here/data/Stations/1.png" "$dir/Stations/1.png"
printf '%s\r\nLocal Tone\r\n0\r\n' "$bench_url" >"$dir/Stations/play1.txt"
printf 'check_updates\r\n0\r\nopen_last\r\n1\r\nstart_volume\r\n25\r\nlast_number\r\n1\r\nautorun\r\n0\r\nbuffer\r\n3\r\nequalizer\r\n0\r\n' >"$dir/config.txt"

bench_compare tembrik "$dir/tembrik"
seconds_played=$seconds
floor=$build/bench/playback/bench_qt_floor
if [ -x "$floor" ]; then
  echo "an empty Qt Widgets window of the same size, peak RSS MB (three runs): $("$floor" 2>/dev/null) $("$floor" 2>/dev/null) $("$floor" 2>/dev/null)"
else
  echo "no $floor: the toolkit's floor not measured (cmake --build $build --target bench_qt_floor)"
fi

# From a click on a logo to first audio: station 1 is the local icecast, which sends its burst only
# 250-300 ms after the request; station 2 a server of ours that sends headers and burst at once.
bench_start_burst
cp "$here/data/Stations/2.png" "$dir/Stations/2.png"
printf '%s\r\nBurst\r\n0\r\n' "$burst_url" >"$dir/Stations/play2.txt"
printf 'check_updates\r\n0\r\nopen_last\r\n0\r\nstart_volume\r\n25\r\nlast_number\r\n1\r\nautorun\r\n0\r\nbuffer\r\n3\r\nequalizer\r\n0\r\n' >"$dir/config.txt"
seconds=3
echo "tembrik: from a click on a logo to first audio, five runs each:"
echo "  icecast (burst after 250-300 ms): $(bench_five click_to_audio_ms bench_measure_click 57,122 "$dir/tembrik") ms"
echo "  server that bursts at once:       $(bench_five click_to_audio_ms bench_measure_click 153,122 "$dir/tembrik") ms"

# Idle: no station plays. Own and sound-server CPU per minute; the goal is at most 0.05 s in all.
seconds=$seconds_played
printf 'check_updates\r\n0\r\nopen_last\r\n0\r\nstart_volume\r\n25\r\nlast_number\r\n1\r\nautorun\r\n0\r\nbuffer\r\n3\r\nequalizer\r\n0\r\n' >"$dir/config.txt"
idle() {
  /usr/bin/python3 "$here/bench/playback/measure_idle.py" --seconds "$seconds" "$@"
}
echo "Idle for $seconds s each..." >&2
idle_shown=$(idle --window '^Tembrik ' -- "$dir/tembrik")
idle_min=$(idle --window '^Tembrik ' --minimise -- "$dir/tembrik")
idle_gv=$(idle --window 'Goodvibes' -- "${goodvibes_cmd[@]:0:${#goodvibes_cmd[@]}-1}" || echo null)
/usr/bin/python3 - "$idle_shown" "$idle_min" "$idle_gv" <<'PY'
import json, sys
names = ["tembrik, window shown", "tembrik, minimised", "Goodvibes, no station"]
print("idle, CPU s per minute (goal for tembrik: whole at most 0.05):")
print(f"{'':<24}{'own':>8}{'server':>8}{'whole':>8}{'streams held':>14}{'own wake-ups/s':>16}")
for name, text in zip(names, sys.argv[1:]):
    r = json.loads(text)
    if r is None:
        print(f"{name:<24}  (no window found)")
        continue
    own, server = r["own_cpu_s"] * 60 / r["seconds"], r["server_cpu_s"] * 60 / r["seconds"]
    wakeups = r["own_wakeups"] / r["seconds"]
    print(f"{name:<24}{own:>8.3f}{server:>8.3f}{own + server:>8.3f}{r['sink_inputs']:>14}{wakeups:>16.1f}")
PY
