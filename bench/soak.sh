#!/usr/bin/env bash
# A long run of the whole program against a station that keeps failing:
#   bench/soak.sh MINUTES [BUILD_DIR]
# Starts its own fixtures (virtual screen, private PulseAudio with a null sink and a recorder on its
# monitor, local icecast) and the program on a copy of the program directory that reopens the local
# MP3 station at start. Every 20 s the station's title changes; every 3 minutes its source is dropped
# for 20 s (the mount disappears, listeners are cut off) and then restored. Each minute it samples the
# program's resident memory, open descriptors and threads. Prints the samples, each drop with the
# seconds from the restore until the program listens again, and a summary line.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
minutes=${1:?usage: bench/soak.sh MINUTES [BUILD_DIR]}
build=${2:-$here/build}
program=$build/Tembrik
[ -x "$program/tembrik" ] || { echo "no $program/tembrik: build first" >&2; exit 1; }

TEMBRIK_FIXTURE_DIR=$(mktemp -d /tmp/tembrik-soak.XXXXXX)
export TEMBRIK_FIXTURE_DIR
for f in stop display pulse station; do
  # shellcheck source=/dev/null
  source "$here/tests/fixtures/$f.sh"
done
trap fixtures_stop EXIT
fixture_display_start >/dev/null
fixture_pulse_start >/dev/null
fixture_station_start >/dev/null
# A null sink with nobody listening stalls; a recorder keeps it running.
parec -d "$TEMBRIK_NULL_MONITOR" --latency-msec=50 >/dev/null 2>&1 &
echo $! >>"$TEMBRIK_FIXTURE_DIR/pids"

base=$TEMBRIK_ICECAST_URL
dir=$TEMBRIK_FIXTURE_DIR/program
cp -r "$program" "$dir"
rm -rf "$dir/Stations" && mkdir "$dir/Stations"
cp "$here/data/Stations/1.png" "$dir/Stations/1.png"
printf '%s\r\nLocal Tone\r\n0\r\n' "$base/mp3" >"$dir/Stations/play1.txt"
printf 'check_updates\r\n0\r\nopen_last\r\n1\r\nstart_volume\r\n25\r\nlast_number\r\n1\r\nautorun\r\n0\r\nbuffer\r\n3\r\nequalizer\r\n0\r\n' >"$dir/config.txt"
"$dir/tembrik" >"$TEMBRIK_FIXTURE_DIR/program.log" 2>&1 &
pid=$!
echo "$pid" >>"$TEMBRIK_FIXTURE_DIR/pids"

feeder() { # the ffmpeg that feeds /mp3
  local p
  while read -r p; do
    tr '\0' ' ' 2>/dev/null <"/proc/$p/cmdline" | grep -q 'ffmpeg.*/mp3$' && { echo "$p"; return; }
  done <"$TEMBRIK_FIXTURE_DIR/pids"
  return 0
}
restore_source() {
  ffmpeg -nostdin -hide_banner -loglevel error -re -f lavfi -i "sine=frequency=440:sample_rate=44100" -ac 2 \
    -flush_packets 1 -c:a libmp3lame -b:a 128k -f mp3 -content_type audio/mpeg \
    "icecast://$TEMBRIK_ICECAST_SOURCE@${base#http://}/mp3" >>"$TEMBRIK_FIXTURE_DIR/feed.log" 2>&1 &
  echo $! >>"$TEMBRIK_FIXTURE_DIR/pids"
}
listeners() { # listeners of /mp3, 0 while the mount is gone
  curl -s --max-time 2 "$base/status-json.xsl" | /usr/bin/python3 -c '
import json, sys
try:
    s = json.load(sys.stdin)["icestats"].get("source", [])
except Exception:
    s = []
s = s if isinstance(s, list) else [s]
print(sum(x.get("listeners", 0) for x in s if x.get("listenurl", "").endswith("/mp3")))'
}
sample() {
  local rss threads fds
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
  fds=$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 | wc -l)
  echo "$1 $rss $fds $threads" >>"$TEMBRIK_FIXTURE_DIR/samples"
  printf 'minute %3d  RSS %7.1f MB  descriptors %4d  threads %3d\n' "$1" "$(echo "$rss / 1024" | bc -l)" "$fds" "$threads"
}

sleep 20
[ "$(listeners)" -ge 1 ] || echo "the program was not listening 20 s after start; see $TEMBRIK_FIXTURE_DIR/program.log" >&2
drops=0 restored_at=0 song=0 watchers=()
start=$(date +%s)
sample 0
for ((tick = 1; tick <= minutes * 3; ++tick)); do
  sleep $((start + tick * 20 - $(date +%s) > 0 ? start + tick * 20 - $(date +%s) : 0))
  kill -0 "$pid" 2>/dev/null || { echo "the program exited at minute $((tick / 3))"; exit 1; }
  song=$((song + 1))
  curl -s -o /dev/null -u "$TEMBRIK_ICECAST_ADMIN" "$base/admin/metadata?mount=/mp3&mode=updinfo&song=Soak+title+$song" || true
  if ((tick % 9 == 0 && tick < minutes * 3)); then
    # Drop: the source goes away, icecast removes the mount and cuts the listener off.
    f=$(feeder)
    [ -n "$f" ] && kill "$f"
    drops=$((drops + 1))
    echo "drop $drops at minute $((tick / 3)):$(printf '%02d' $((tick % 3 * 20)))"
  elif ((tick % 9 == 1 && tick > 1)); then
    restore_source
    restored_at=$(date +%s)
    # Recovered once the program listens again; give it up to 2.5 minutes (its retries wait up to 30 s).
    (
      for _ in $(seq 150); do
        if [ "$(listeners)" -ge 1 ]; then
          echo "  drop $drops recovered $(($(date +%s) - restored_at)) s after the source came back"
          echo ok >>"$TEMBRIK_FIXTURE_DIR/recoveries"
          exit 0
        fi
        sleep 1
      done
      echo "  drop $drops NOT recovered within 150 s of the source coming back"
    ) &
    watchers+=($!)
  fi
  ((tick % 3 == 0)) && sample $((tick / 3))
done
# Only the watchers: the fixtures run on until the exit trap ends them.
for w in "${watchers[@]}"; do wait "$w" 2>/dev/null || true; done
recoveries=$(wc -l <"$TEMBRIK_FIXTURE_DIR/recoveries" 2>/dev/null || echo 0)
/usr/bin/python3 - "$TEMBRIK_FIXTURE_DIR/samples" "$drops" "$recoveries" <<'PY'
import sys
rows = [list(map(int, l.split())) for l in open(sys.argv[1])]
late = [r for r in rows if r[0] >= 5] or rows
rss = [r[1] for r in late]; fds = {r[2] for r in late}; threads = {r[3] for r in late}
print(f"after minute 5: RSS {min(rss)/1024:.1f}..{max(rss)/1024:.1f} MB (spread {(max(rss)-min(rss))/1024:.2f} MB), "
      f"descriptors {sorted(fds)}, threads {sorted(threads)}; drops recovered {sys.argv[3]} of {sys.argv[2]}")
PY
