#!/usr/bin/env bash
# The real program on a session bus of this test's own: it takes the MPRIS name, a second copy from
# another program directory takes org.mpris.MediaPlayer2.tembrik.instance<PID>, Quit ends it; and
# without any session bus it starts all the same, saying so in one line on standard error.
set -euo pipefail
program_dir=$1
if [ -z "${PULSE_SERVER:-}" ]; then
  if [ "${TEMBRIK_REQUIRE_FIXTURES:-0}" = 1 ]; then echo "no sound server"; exit 1; fi
  echo "no sound server: skipped"; exit 77
fi
work=$(mktemp -d)
pids=()
bus_pid=
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen
fail=0
bad() { echo "FAIL: $*"; fail=1; }
# wait_for TRIES COMMAND...: retries every 0.1 s
wait_for() {
  local n=$1; shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
start_copy() { # name: a copy of the program directory of its own, started in the background
  mkdir -p "$work/$1"
  cp -r "$program_dir"/. "$work/$1/"
  "$work/$1/tembrik" >"$work/$1.out" 2>"$work/$1.err" &
  pids+=($!)
  echo $! >"$work/$1.pid"
}
bus_names() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.ListNames
}
has_name() { bus_names | grep -q "\"$1\""; }
running() { kill -0 "$(cat "$work/$1.pid")" 2>/dev/null; }

read -r address bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -sd' ')
export DBUS_SESSION_BUS_ADDRESS=$address

start_copy first
wait_for 300 has_name org.mpris.MediaPlayer2.tembrik || bad "the program took no MPRIS name"
[ "$(playerctl -p tembrik status 2>&1)" = Stopped ] || bad "status is not Stopped before any station"
identity=$(dbus-send --session --print-reply=literal --dest=org.mpris.MediaPlayer2.tembrik /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:Identity | awk '{print $NF}')
[ "$identity" = Tembrik ] || bad "Identity is '$identity'"

start_copy second
second_pid=$(cat "$work/second.pid")
wait_for 300 has_name "org.mpris.MediaPlayer2.tembrik.instance$second_pid" ||
  bad "the second copy did not take org.mpris.MediaPlayer2.tembrik.instance$second_pid"

# Quit runs the close image's path: the program saves its settings and ends by itself, with exit
# code 0.
touch -d '2000-01-01' "$work/first/config.txt"
touch "$work/before-quit"
dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.tembrik /org/mpris/MediaPlayer2 \
  org.mpris.MediaPlayer2.Quit >/dev/null 2>&1 || true
if wait_for 200 bash -c "! kill -0 $(cat "$work/first.pid") 2>/dev/null"; then
  wait "$(cat "$work/first.pid")" && rc=0 || rc=$?
  [ "$rc" = 0 ] || bad "Quit ended the program with exit code $rc"
  [ "$work/first/config.txt" -nt "$work/before-quit" ] || bad "Quit did not write config.txt"
else
  bad "Quit did not end the program"
fi
running second || bad "Quit on the first copy ended the second"
has_name org.mpris.MediaPlayer2.tembrik && bad "the name stayed after Quit"

# No session bus at all: one line on standard error, and the program runs on.
kill "$bus_pid"
bus_pid=
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-such-bus
start_copy nobus
wait_for 300 grep -q "session bus" "$work/nobus.err" || bad "no line about the missing session bus"
running nobus || { bad "the program ended without a session bus"; cat "$work/nobus.err"; }
lines=$(grep -ci "bus" "$work/nobus.err" || true)
[ "$lines" = 1 ] || { bad "$lines lines about the bus on standard error"; cat "$work/nobus.err"; }
exit $fail
