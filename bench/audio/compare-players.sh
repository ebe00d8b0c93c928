#!/usr/bin/env bash
# Compares tembrik-play with mpv and mpg123 on the same local stream, in one run:
#   bench/audio/compare-players.sh [BUILD_DIR] [SECONDS]
# Starts its own fixtures (a private PulseAudio with a null sink, icecast2 fed by ffmpeg), plays the
# 128 kbit/s MP3 mount with each player into the null sink for SECONDS (60) from its first audio,
# and prints per minute the player's own CPU, the sound server's CPU and their sum, peak resident
# memory and time from start to first audio, with tembrik-play's figures as ratios to each peer's.
# Then how soon the library's volume, mute and stop are heard, and each player's first audio on a
# server of ours that sends its burst at once. Installs mpv and mpg123 (apt) when they are missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$here/build}
seconds=${2:-60}
player=$build/Tembrik/tembrik-play
if [ ! -x "$player" ]; then
  echo "no $player: build first (cmake --build $build --target tembrik-play)" >&2
  exit 1
fi

# shellcheck source=/dev/null
source "$here/bench/peers.sh"
bench_start pulse station
bench_compare tembrik-play "$player" "$bench_url"

controls=$build/bench/audio/bench_audio_controls
if [ -x "$controls" ]; then
  /usr/bin/python3 "$here/bench/audio/controls.py" --monitor "$TEMBRIK_NULL_MONITOR" "$controls" "$bench_url"
else
  echo "no $controls: volume, mute and stop not measured (cmake --build $build --target bench_audio_controls)"
fi

bench_start_burst
seconds=2
echo "first audio in ms from the player's start on a server that bursts at once, five runs each:"
echo "  tembrik-play  $(bench_five first_audio_ms bench_measure "$player" "$burst_url")"
echo "  mpv           $(bench_five first_audio_ms bench_measure mpv --no-config --no-video --no-terminal --ao=pulse "$burst_url")"
echo "  mpg123        $(bench_five first_audio_ms bench_measure mpg123 -q -o pulse "$burst_url")"
