# Sourced by the benchmarks that compare a player of ours with mpv and mpg123 on the local station.
#   bench_start display pulse station   installs the peers if missing, starts those fixtures
#   bench_compare NAME COMMAND...       measures COMMAND, mpv and mpg123 on $bench_url and prints
#                                       the table with the peers' ratios to NAME
#   bench_start_burst                   starts a server that bursts at once, at $burst_url
#   bench_measure COMMAND...            one JSON line of measure.py for COMMAND
#   bench_measure_click X,Y COMMAND...  the same for the program started idle, with the time from a
#                                       click at X,Y of its window (a logo) to first audio
#   bench_five FIELD FUNCTION ARGS...   FIELD of five runs of a measuring FUNCTION, on one line
# Needs $here (the source tree) and $seconds.

bench_start() {
  local missing=() p
  for p in mpv mpg123; do command -v "$p" >/dev/null || missing+=("$p"); done
  if ((${#missing[@]})); then
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  TEMBRIK_FIXTURE_DIR=$(mktemp -d /tmp/tembrik-bench.XXXXXX)
  export TEMBRIK_FIXTURE_DIR
  # shellcheck source=/dev/null
  source "$here/tests/fixtures/stop.sh"
  trap fixtures_stop EXIT
  local f
  for f in "$@"; do
    # shellcheck source=/dev/null
    source "$here/tests/fixtures/$f.sh"
    "fixture_${f}_start" >/dev/null
  done
  bench_url=$TEMBRIK_ICECAST_URL/mp3
  sleep 2 # let the station settle
}

# A server of ours that sends its headers and a 64 KB burst at once (icecast sends its burst only
# 250-300 ms after the request); sets $burst_url.
bench_start_burst() {
  ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=30" -b:a 128k "$TEMBRIK_FIXTURE_DIR/burst.mp3"
  coproc burst { exec /usr/bin/python3 "$here/bench/playback/burst_server.py" "$TEMBRIK_FIXTURE_DIR/burst.mp3"; }
  echo "$burst_PID" >>"$TEMBRIK_FIXTURE_DIR/pids"
  local port
  read -r port <&"${burst[0]}"
  burst_url=http://127.0.0.1:$port/
}

bench_five() {
  local field=$1 runs=() _
  shift
  for _ in 1 2 3 4 5; do
    runs+=("$("$@" | /usr/bin/python3 -c 'import json,sys; print(json.load(sys.stdin)[sys.argv[1]])' "$field")")
  done
  echo "${runs[*]}"
}

# measure.py on the null sink's monitor for $seconds: [its options] -- COMMAND...
bench_run_measure() {
  /usr/bin/python3 "$here/bench/audio/measure.py" --monitor "$TEMBRIK_NULL_MONITOR" --seconds "$seconds" "$@"
}

bench_measure() {
  bench_run_measure -- "$@"
}

bench_measure_click() {
  local at=$1
  shift
  bench_run_measure --click-window '^Tembrik ' --click "$at" -- "$@"
}

bench_compare() {
  local name=$1
  shift
  echo "Playing $bench_url for $seconds s with each player..." >&2
  local ours mpv mpg123
  ours=$(bench_measure "$@")
  mpv=$(bench_measure mpv --no-config --no-video --no-terminal --ao=pulse "$bench_url")
  mpg123=$(bench_measure mpg123 -q -o pulse "$bench_url")
  /usr/bin/python3 - "$name" "$ours" "$mpv" "$mpg123" "$seconds" <<'PY'
import json, sys
names = [sys.argv[1], "mpv", "mpg123"]
runs = dict(zip(names, (json.loads(a) for a in sys.argv[2:5])))
seconds = float(sys.argv[5])
print(f"{seconds:.0f} s of 128 kbit/s MP3 from a local icecast into a PulseAudio null sink")
print(f"{'player':<14}{'CPU s':>8}{'CPU s/min':>11}{'peak RSS MB':>13}{'first audio ms':>16}")
for n in names:
    r = runs[n]
    print(f"{n:<14}{r['cpu_s']:>8.3f}{r['cpu_s'] * 60 / seconds:>11.3f}{r['peak_rss_mb']:>13.1f}{str(r['first_audio_ms']):>16}")
ours = runs[names[0]]
print(f"ratios, peer / {names[0]} (above 1: {names[0]} is ahead):")
for n in names[1:]:
    r = runs[n]
    def ratio(key):
        return "n/a" if not ours[key] or r[key] is None else f"{r[key] / ours[key]:.2f}"
    print(f"  {n:<12} CPU {ratio('cpu_s')}   memory {ratio('peak_rss_mb')}   first audio {ratio('first_audio_ms')}")
PY
}
