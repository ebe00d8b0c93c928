#!/usr/bin/env bash
# The whole program playing a station, side by side with mpv and mpg123 in one run:
#   bench/playback/compare-program.sh [BUILD_DIR] [SECONDS]
# Starts its own fixtures (virtual screen, private PulseAudio with a null sink, local icecast),
# lays out a copy of the program directory whose settings reopen a station on the local MP3 mount
# at start, and measures each player for SECONDS (60) from its first audio: CPU seconds, peak
# resident memory, and time from start to first audio (for the program that includes its start-up
# and the play request it makes there). The window is shown on the virtual screen all along.
# Last, runs that start the program without a station, click a logo once the window is idle and
# report the time from the click to first audio.
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
