#!/usr/bin/env bash
# One running copy per program directory: a second start from the same folder (whose path holds a
# space and a quote) ends with status 0 and brings the first copy's window to the front, also out of
# the tray; a copy in another folder runs beside it.
set -euo pipefail
program_dir=$1
if [ -z "${DISPLAY:-}" ]; then
  if [ "${TEMBRIK_REQUIRE_FIXTURES:-0}" = 1 ]; then echo "no display"; exit 1; fi
  echo "no display: skipped"; exit 77
fi
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Nothing of the user's own: settings, autostart entries and the copies' sockets stay in $work.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
first="$work/Tem brik \"one\""
other="$work/other"
cp -r "$program_dir" "$first"
cp -r "$program_dir" "$other"

fail=0
visible_window() { # pid → id of its visible main window (501 × 373, unlike the tray icon's), or nothing
  local w
  # xdotool's --pid search also lists other processes' windows: ask each window for its owner.
  for w in $(xdotool search --onlyvisible --name '^Tembrik Dave 2.1$' 2>/dev/null); do
    [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$1" ] || continue
    xdotool getwindowgeometry "$w" | grep -q 'Geometry: 501x373' && { echo "$w"; return; }
  done
}
wait_for() { # seconds command...
  local n=$(( $1 * 10 )); shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}
shown() { [ -n "$(visible_window "$1")" ]; }
hidden() { [ -z "$(visible_window "$1")" ]; }
# The first copy holds the global hot keys, so a copy in another folder says so at start, one box
# per key, before its main window: answer each box.
shown_answering_boxes() {
  local w
  for w in $(xdotool search --onlyvisible --name '^Tembrik$' 2>/dev/null); do
    [ "$(xdotool getwindowpid "$w" 2>/dev/null)" = "$1" ] || continue
    xdotool windowactivate --sync "$w" key Return 2>/dev/null || true
  done
  shown "$1"
}
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }

"$first/tembrik" >"$work/first.log" 2>&1 &
pids+=($!)
first_pid=$!
wait_for 30 shown "$first_pid" || { echo "FAIL: the first copy shows no window"; cat "$work/first.log"; exit 1; }
win=$(visible_window "$first_pid")

# The first copy's socket is its user's alone, and peers that are not copies of ours (one sends junk
# without a line break, one connects and says nothing) do not keep a later start from an answer.
sock=$(find "$XDG_RUNTIME_DIR" -name 'tembrik-*.sock')
[ "$(stat -c %a "$sock")" = 700 ] || { echo "FAIL: the socket $sock is open to others"; fail=1; }
/usr/bin/python3 - "$sock" <<'PY' &
import socket, sys, time
junk = socket.socket(socket.AF_UNIX)
junk.connect(sys.argv[1])
junk.sendall(b"x" * 100)
silent = socket.socket(socket.AF_UNIX)
silent.connect(sys.argv[1])
time.sleep(60)
PY
pids+=($!)

# Into the tray through the minimise image, then a second start from the same folder.
minimise() {
  xdotool mousemove --window "$win" 436 18 click 1
  wait_for 1 hidden "$first_pid"
}
# A window just mapped may not take clicks yet: try a few times.
wait_for 30 minimise || { echo "FAIL: the minimise image left the window shown"; fail=1; }
set +e
timeout 60 "$first/tembrik" >"$work/second.log" 2>&1
rc=$?
set -e
[ "$rc" = 0 ] || { echo "FAIL: the second start ended with $rc"; cat "$work/second.log"; fail=1; }
wait_for 30 shown "$first_pid" || { echo "FAIL: the first window did not come out of the tray"; fail=1; }
wait_for 30 active_is "$win" || { echo "FAIL: the first window is not the active one"; fail=1; }

# Shown but behind another window: a second start brings it to the front.
"$other/tembrik" >"$work/other.log" 2>&1 &
pids+=($!)
other_pid=$!
if wait_for 60 shown_answering_boxes "$other_pid"; then
  other_win=$(visible_window "$other_pid")
  xdotool windowactivate "$other_win" 2>/dev/null || true
  wait_for 30 active_is "$other_win" || { echo "FAIL: the other folder's window never became active"; fail=1; }
  set +e
  timeout 60 "$first/tembrik" >>"$work/second.log" 2>&1
  rc=$?
  set -e
  [ "$rc" = 0 ] || { echo "FAIL: the third start ended with $rc"; fail=1; }
  wait_for 30 active_is "$win" || { echo "FAIL: the first window was not brought to the front"; fail=1; }
else
  echo "FAIL: a copy in another folder did not start beside the first"; cat "$work/other.log"; fail=1
fi
kill -0 "$first_pid" 2>/dev/null || { echo "FAIL: the first copy ended"; fail=1; }
kill -0 "$other_pid" 2>/dev/null || { echo "FAIL: the other folder's copy ended"; fail=1; }
[ "$(pgrep -c -f "^$first/tembrik" || true)" = 1 ] || { echo "FAIL: more than one copy runs from one folder"; fail=1; }
exit $fail
