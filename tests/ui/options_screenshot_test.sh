#!/usr/bin/env bash
# Opens the Options window of the real program on the test display through the main window's
# Options image and checks what a person would see: the window centred as it places itself, its lime
# corners see-through, the white equalizer panel, the main window held while it is open.
# Leaves the screenshot beside the test log for people to compare with the layout.
set -euo pipefail
program_dir=$1
out=$2
if [ -z "${DISPLAY:-}" ]; then
  if [ "${TEMBRIK_REQUIRE_FIXTURES:-0}" = 1 ]; then echo "no display"; exit 1; fi
  echo "no display: skipped"; exit 77
fi
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$program_dir" "$work/program"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
xsetroot -solid '#123456'
"$work/program/tembrik" >"$work/log" 2>&1 &
pid=$!
window() { # name → id of the visible window of that name and size
  local w
  for w in $(xdotool search --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null); do
    xdotool getwindowgeometry "$w" | grep -q "Geometry: $2" && { echo "$w"; return 0; }
  done
  return 1
}
for _ in $(seq 100); do window 'Tembrik Dave 2.1' 501x373 >/dev/null && break; sleep 0.1; done
main=$(window 'Tembrik Dave 2.1' 501x373) || { echo "FAIL: no main window"; cat "$work/log"; exit 1; }
import -window root "$work/before.png"
# The Options image lies at 456,350 (17 × 17) on the main window; a just-mapped window may miss
# the first click.
for _ in $(seq 20); do
  xdotool mousemove --window "$main" 464 358 click 1
  for _ in $(seq 10); do window Options 305x374 >/dev/null && break 2; sleep 0.1; done
done
options=$(window Options 305x374) || { echo "FAIL: the Options image opened nothing"; cat "$work/log"; exit 1; }
xdotool mousemove 0 0
sleep 1
import -window root "$out"
pixel() { convert "${3:-$out}" -format "%[hex:p{$1,$2}]" info: | cut -c1-6 | tr A-F a-f; }
fail=0
check() { # what x y expected|!unexpected
  local got; got=$(pixel "$2" "$3")
  case $4 in
    !*) [ "$got" != "${4#!}" ] || { echo "FAIL: $1 at $2,$3 is $got"; fail=1; } ;;
    *) [ "$got" = "$4" ] || { echo "FAIL: $1 at $2,$3 is $got, expected $4"; fail=1; } ;;
  esac
}
read -r sw sh < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
x=$((sw / 2 - 300)); y=$((sh / 2 - 200))
geometry=$(xdotool getwindowgeometry "$options")
echo "$geometry" | grep -q "Position: $x,$y" || { echo "FAIL: not placed at $x,$y: $geometry"; fail=1; }
# Lime corners show what lay behind them (the main window or the desktop); the rest is opaque.
behind() { pixel "$1" "$2" "$work/before.png"; }
check "top-left corner is see-through" "$x" "$y" "$(behind "$x" "$y")"
check "bottom-right corner is see-through" $((x + 304)) $((y + 373)) "$(behind $((x + 304)) $((y + 373)))"
check "title plate is opaque" $((x + 150)) $((y + 20)) "!$(behind $((x + 150)) $((y + 20)))"
# The white band panel lies at 16,145 (274 × 145); left of the first slider it is bare.
check "equalizer panel is white" $((x + 19)) $((y + 215)) ffffff
check "equalizer panel is white at its right" $((x + 16 + 270)) $((y + 145 + 70)) ffffff
check "bare panel beside the buffer label is not white" $((x + 150)) $((y + 38 + 256)) '!ffffff'
# The main window waits: a click on its close image does nothing while Options is open.
xdotool mousemove --window "$main" 472 18 click 1
sleep 0.5
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the main window took a click while Options was open"; fail=1; }
[ $fail = 0 ] && echo "screenshot: $out"
exit $fail
