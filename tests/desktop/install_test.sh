#!/usr/bin/env bash
# scripts/install.sh in a temporary HOME: the program, the link, the desktop entry and the icons
# land where the desktop looks; a second install keeps the user's favs.txt, config.txt and Stations
# and replaces the program; --uninstall leaves HOME exactly as it was, keeps what it did not make,
# and an install never takes over a file it did not make.
set -euo pipefail
install=$1
program_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }
snapshot() { # every path under HOME with its type and, for files, content
  (cd "$HOME" && find . -printf '%y %p %l\n' | sort && find . -type f -print0 | sort -z | xargs -0r sha256sum)
}

export HOME=$work/home
unset XDG_DATA_HOME
mkdir -p "$HOME/.local/share/applications" "$HOME/Music"
echo "someone else's" >"$HOME/.local/share/applications/other.desktop"
echo "keep me" >"$HOME/Music/song.txt"
snapshot >"$work/before"

"$install" "$program_dir" >/dev/null
data=$HOME/.local/share
[ -x "$data/tembrik/tembrik" ] || bad "no program in $data/tembrik"
[ "$(readlink "$HOME/.local/bin/tembrik")" = "$data/tembrik/tembrik" ] || bad "no link in ~/.local/bin"
desktop-file-validate "$data/applications/tembrik.desktop" || bad "the installed entry is not valid"
grep -qx "Exec=\"$data/tembrik/tembrik\"" "$data/applications/tembrik.desktop" || bad "Exec does not name the program"
for size in 16 32 48 64 128 256; do
  icon=$data/icons/hicolor/${size}x$size/apps/tembrik.png
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x$size" ] || bad "icon $icon"
done
cmp -s "$program_dir/Stations/play1.txt" "$data/tembrik/Stations/play1.txt" || bad "Stations not copied"
cmp -s "$program_dir/tembrik-audio-ffmpeg.so" "$data/tembrik/tembrik-audio-ffmpeg.so" ||
  bad "the FFmpeg decoder module not installed"
cmp -s "$program_dir/tembrik-curl.so" "$data/tembrik/tembrik-curl.so" || bad "the libcurl module not installed"

# The user works with the installed program, then installs again.
printf '3\r\n1\r\n' >"$data/tembrik/favs.txt"
printf 'changed\r\n' >"$data/tembrik/config.txt"
rm "$data/tembrik/Stations/play2.txt"
printf 'http://mine.example/\r\nMine\r\n0\r\n' >"$data/tembrik/Stations/play99.txt"
printf 'old' >"$data/tembrik/tembrik"
"$install" "$program_dir" >/dev/null
[ "$(cat "$data/tembrik/favs.txt")" = $'3\r\n1\r' ] || bad "favs.txt not kept"
[ "$(cat "$data/tembrik/config.txt")" = $'changed\r' ] || bad "config.txt not kept"
[ -e "$data/tembrik/Stations/play2.txt" ] && bad "a deleted station came back"
[ -f "$data/tembrik/Stations/play99.txt" ] || bad "the user's own station was lost"
cmp -s "$program_dir/tembrik" "$data/tembrik/tembrik" || bad "the program was not replaced"

# Uninstall keeps what the user changed or made; with those gone too, HOME is as it was.
"$install" --uninstall >"$work/uninstall.out"
for kept in favs.txt config.txt Stations/play99.txt; do
  [ -f "$data/tembrik/$kept" ] || bad "uninstall removed the user's $kept"
done
[ -e "$data/tembrik/tembrik" ] && bad "uninstall left the program"
[ -e "$HOME/.local/bin/tembrik" ] && bad "uninstall left the link"
rm -r "$data/tembrik"
snapshot >"$work/after"
diff "$work/before" "$work/after" || bad "HOME differs after install, reinstall and uninstall"

# A plain install and uninstall leaves HOME exactly as it was, with XDG_DATA_HOME elsewhere too.
export XDG_DATA_HOME=$HOME/xdg
mkdir "$XDG_DATA_HOME"
snapshot >"$work/before"
"$install" "$program_dir" >/dev/null
[ -x "$XDG_DATA_HOME/tembrik/tembrik" ] || bad "XDG_DATA_HOME not followed"
"$install" --uninstall >/dev/null
snapshot >"$work/after"
diff "$work/before" "$work/after" || bad "HOME differs after install and uninstall"

# A file of the same name that the install did not make is left alone, and nothing is installed.
echo "another player's" >"$XDG_DATA_HOME/applications-placeholder"
mkdir -p "$HOME/.local/bin"
echo "#!/bin/sh" >"$HOME/.local/bin/tembrik"
if "$install" "$program_dir" >/dev/null 2>&1; then bad "an install took over ~/.local/bin/tembrik"; fi
[ "$(cat "$HOME/.local/bin/tembrik")" = "#!/bin/sh" ] || bad "~/.local/bin/tembrik was changed"
[ -e "$XDG_DATA_HOME/tembrik" ] && bad "a refused install still copied the program"
if "$install" --uninstall >/dev/null 2>&1; then bad "an uninstall with nothing installed succeeded"; fi
exit $fail
