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
