# Sourced by the benchmarks that compare a player of ours with mpv and mpg123 (and, with a screen,
# Goodvibes) on the local station. Every figure counts the whole machine: the player's own CPU and
# the sound server's CPU while it plays.
#   bench_start display pulse station   installs the peers if missing, starts those fixtures
#   bench_compare NAME COMMAND...       measures COMMAND, mpv and mpg123 (and Goodvibes when the
#                                       screen runs) on $bench_url and prints the table with NAME's
#                                       figures as ratios to each peer's; with BENCH_ROUNDS=N, N
#                                       rounds of all players in turn, shown as medians and ranges
#   bench_start_burst                   starts a server that bursts at once, at $burst_url
#   bench_measure COMMAND...            one JSON line of measure.py for COMMAND
#   bench_measure_click X,Y COMMAND...  the same for the program started idle, with the time from a
#                                       click at X,Y of its window (a logo) to first audio
#   bench_five FIELD FUNCTION ARGS...   FIELD of five runs of a measuring FUNCTION, on one line
# With BENCH_CPU=N the sound server and every player run on CPU N alone. On a virtual machine a
# wake-up from one virtual CPU to another costs the hypervisor an interrupt, charged to whichever
# process sent it, and the scheduler places the server and a player's threads differently from run
# to run: the same player then costs one level or a several times higher one. Pinned, the runs
# compare the players rather than their placement.
# Needs $here (the source tree) and $seconds.

bench_start() {
  local missing=() p peers=(mpv mpg123)
  [[ " $* " == *" display "* ]] && peers+=(goodvibes)
  for p in "${peers[@]}"; do command -v "$p" >/dev/null || missing+=("$p"); done
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
  if [ -n "${BENCH_CPU:-}" ] && [ -n "${TEMBRIK_PULSE_PID:-}" ]; then
    taskset -a -p -c "$BENCH_CPU" "$TEMBRIK_PULSE_PID" >/dev/null
  fi
  [ -n "${DISPLAY:-}" ] && [[ " $* " == *" display "* ]] && bench_goodvibes_prepare
  sleep 2 # let the station settle
}

# Goodvibes needs a session bus (without one it never starts) and builds GStreamer's plug-in
# registry at its first start (half a minute here): it gets a bus and a home of its own, and one
# start that is not measured. Its settings live in memory and it loads no accessibility bridge, so
# the bus starts no helper processes. Sets the array goodvibes_cmd.
bench_goodvibes_prepare() {
  local home=$TEMBRIK_FIXTURE_DIR/goodvibes bus
  mkdir -p "$home"
  bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
  echo "$bus" | sed -n 2p >>"$TEMBRIK_FIXTURE_DIR/pids"
  goodvibes_cmd=(env HOME="$home" DBUS_SESSION_BUS_ADDRESS="$(echo "$bus" | head -1)"
    GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 goodvibes "$bench_url")
  echo "Goodvibes' first start (not measured)..." >&2
  "${goodvibes_cmd[@]}" >/dev/null 2>&1 &
  local pid=$! _
  for _ in $(seq 120); do
    pactl list sink-inputs 2>/dev/null | grep -q 'application.name = "Goodvibes"' && break
    sleep 1
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
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

# The command, on CPU $BENCH_CPU when that is set.
bench_pinned() {
  if [ -n "${BENCH_CPU:-}" ]; then
    echo taskset -c "$BENCH_CPU"
  fi
}

bench_measure() {
  # shellcheck disable=SC2046
  bench_run_measure -- $(bench_pinned) "$@"
}

bench_measure_click() {
  local at=$1
  shift
  # shellcheck disable=SC2046
  bench_run_measure --click-window '^Tembrik ' --click "$at" -- $(bench_pinned) "$@"
}

bench_compare() {
  local name=$1
  shift
  local rounds=${BENCH_ROUNDS:-1} runs=() round
  echo "Playing $bench_url for $seconds s with each player, $rounds round(s)..." >&2
  for ((round = 1; round <= rounds; round++)); do
    runs+=("$name" "$(bench_measure "$@")")
    runs+=(mpv "$(bench_measure mpv --no-config --no-video --no-terminal --ao=pulse "$bench_url")")
    runs+=(mpg123 "$(bench_measure mpg123 -q -o pulse "$bench_url")")
    if [ -n "${goodvibes_cmd+x}" ]; then
      runs+=(Goodvibes "$(bench_measure "${goodvibes_cmd[@]}")")
    fi
  done
  /usr/bin/python3 "$here/bench/audio/table.py" "$seconds" "${runs[@]}"
}
