#!/usr/bin/env bash
# Runs the real program on the test display and checks what a person would see: the window at its
# place, its lime corners showing the desktop behind it, the panel itself opaque. Leaves the
# screenshot beside the test log for people to look at.
set -euo pipefail
program_dir=$1
out=$2
if [ -z "${DISPLAY:-}" ]; then
  if [ "${TEMBRIK_REQUIRE_FIXTURES:-0}" = 1 ]; then echo "no display"; exit 1; fi
  echo "no display: skipped"; exit 77
fi
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cp -r "$program_dir"/. "$work/"
# Start as a new user would: the shipped settings, no favourites.
xsetroot -solid '#123456'
"$work/tembrik" >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  xdotool search --name '^Tembrik Dave 2.1$' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1.5
import -window root "$out"
pixel() { convert "$out" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
fail=0
check() { # what x y expected|!unexpected
  local got; got=$(pixel "$2" "$3")
  case $4 in
    !*) [ "$got" != "${4#!}" ] || { echo "FAIL: $1 at $2,$3 is $got"; fail=1; } ;;
    *) [ "$got" = "$4" ] || { echo "FAIL: $1 at $2,$3 is $got, expected $4"; fail=1; } ;;
  esac
}
# The window's client area starts at (338, 204).
check "top-left corner shows the desktop" 338 204 123456
check "bottom-right corner shows the desktop" 838 576 123456
check "panel edge is opaque" 348 300 '!123456'
check "grid is opaque" 600 300 '!123456'
check "outside the window" 330 300 123456
kill -0 "$pid" || { echo "FAIL: the program ended"; cat "$work/log"; fail=1; }
[ $fail = 0 ] && echo "screenshot: $out"
exit $fail
