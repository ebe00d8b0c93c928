#!/usr/bin/env bash
# Where tembrik-play's time goes before its first audio, next to mpg123's first audio on the same
# local icecast mount, in one run:
#   bench/audio/first-audio.sh [BUILD_DIR] [RUNS]
# Starts its own fixtures (a private PulseAudio with a null sink, icecast2 fed by ffmpeg). Each run
# starts tembrik-play --timings under measure.py, which finds the first sound in the null sink's
# recording; the table gives the median over RUNS (5) of each step, in ms from process start, and
# mpg123's first audio measured the same way.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$here/build}
runs=${2:-5}
player=$build/Tembrik/tembrik-play
if [ ! -x "$player" ]; then
  echo "no $player: build first (cmake --build $build --target tembrik-play)" >&2
  exit 1
fi

# shellcheck source=/dev/null
source "$here/bench/peers.sh"
bench_start pulse station
seconds=1

stamps=$TEMBRIK_FIXTURE_DIR/stamps
ours=() theirs=()
for ((i = 0; i < runs; ++i)); do
  # The shell execs the player: same process, so its start is measure.py's start.
  ours+=("$(bench_measure sh -c 'exec "$0" --timings "$1" 2>>"$2"' "$player" "$bench_url" "$stamps")")
  echo "end of run" >>"$stamps"
  theirs+=("$(bench_measure mpg123 -q -o pulse "$bench_url")")
done

/usr/bin/python3 - "$stamps" "$bench_url" "${ours[*]}" "${theirs[*]}" <<'PY'
import json, statistics, sys
stamps_file, url, ours, theirs = sys.argv[1:5]
decoder = json.JSONDecoder()
def runs(text):
    out, i = [], 0
    while i < len(text):
        if text[i].isspace():
            i += 1
            continue
        value, i = decoder.raw_decode(text, i)
        out.append(value)
    return out
ours, theirs = runs(ours), runs(theirs)
steps, order, current = {}, [], {}
for line in open(stamps_file, encoding="utf-8", errors="replace"):
    if line.startswith("end of run"):
        for step, ms in current.items():
            steps.setdefault(step, []).append(ms)
        current = {}
        continue
    parts = line.split(None, 2)
    if len(parts) == 3 and parts[0] == "timing":
        step = parts[2].strip()
        if step not in current:  # first stamp of each step (the first transfer)
            current[step] = float(parts[1])
        if step not in order:
            order.append(step)
def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None
print(f"first audio on {url}, median of {len(ours)} runs, ms from process start")
print(f"{'tembrik-play step':<34}{'ms':>8}{'step ms':>9}")
previous = 0.0
for step in order:
    m = median(steps.get(step, []))
    if m is None:
        continue
    print(f"  {step:<32}{m:>8.1f}{m - previous:>9.1f}")
    previous = m
sink = median([r["first_audio_ms"] for r in ours])
print(f"  {'sound in the sink (recording)':<32}{sink if sink is not None else 'n/a':>8}")
peer = median([r["first_audio_ms"] for r in theirs])
print(f"{'mpg123 sound in the sink':<34}{peer if peer is not None else 'n/a':>8}")
rss = median([r["peak_rss_mb"] for r in ours]), median([r["peak_rss_mb"] for r in theirs])
print(f"peak RSS MB, median: tembrik-play {rss[0]}, mpg123 {rss[1]}")
print("runs, tembrik-play:", [r["first_audio_ms"] for r in ours], " mpg123:", [r["first_audio_ms"] for r in theirs])
PY
