#!/usr/bin/env bash
# Installs Tembrik for the current user, without root:
#   scripts/install.sh [PROGRAM_DIR]   copy the program directory (default build/Tembrik) to
#                                      $XDG_DATA_HOME/tembrik, link ~/.local/bin/tembrik to it and add
#                                      the desktop entry and the icons under $XDG_DATA_HOME
#   scripts/install.sh --uninstall     remove what an install made, and nothing else
# The program keeps its settings, favourites and stations beside itself, so an install over an
# earlier one replaces the programs and keeps every data file already there, and the Stations folder
# whole. What the install made is listed in $XDG_DATA_HOME/tembrik/.installed; the uninstall removes
# those files unless they changed since (they are the user's then), and the folders it made once
# they are empty.
set -euo pipefail

die() {
  echo "install.sh: $*" >&2
  exit 1
}

data_home=${XDG_DATA_HOME:-}
# XDG base directories: a relative value is ignored.
[[ $data_home == /* ]] || data_home=$HOME/.local/share
dest=$data_home/tembrik
link=$HOME/.local/bin/tembrik
entry=$data_home/applications/tembrik.desktop
manifest=$dest/.installed
icon_sizes=(16 32 48 64 128 256)

icon_path() { echo "$data_home/icons/hicolor/${1}x$1/apps/tembrik.png"; }
sum() { sha256sum <"$1" | cut -d' ' -f1; }

# The manifest: one line per thing made, "dir<TAB>-<TAB>PATH", "file<TAB>SHA256<TAB>PATH" or
# "link<TAB>TARGET<TAB>PATH"; the latest line about a path counts.
declare -A kind_of=() detail_of=()
order=()
load_manifest() {
  [ -f "$manifest" ] || return 0
  local kind detail path
  while IFS=$'\t' read -r kind detail path; do
    [ -n "$path" ] || continue
    [ -n "${kind_of[$path]:-}" ] || order+=("$path")
    kind_of[$path]=$kind
    detail_of[$path]=$detail
  done <"$manifest"
}
note() { # kind detail path
  [ -n "${kind_of[$3]:-}" ] || order+=("$3")
  kind_of[$3]=$1
  detail_of[$3]=$2
}
save_manifest() {
  local path
  for path in "${order[@]}"; do
    printf '%s\t%s\t%s\n' "${kind_of[$path]}" "${detail_of[$path]}" "$path"
  done >"$manifest.new"
  mv -f "$manifest.new" "$manifest"
}

# Creates a folder and its missing parents, noting each one made here.
make_dir() {
  local d=$1 missing=() i
  while [ ! -d "$d" ]; do
    missing+=("$d")
    d=$(dirname "$d")
  done
  for ((i = ${#missing[@]} - 1; i >= 0; i--)); do
    mkdir "${missing[i]}"
    note dir - "${missing[i]}"
  done
}

# Copies a file into place through a new name, so a running program's file is replaced, not written.
put_file() { # source target
  make_dir "$(dirname "$2")"
  cp -f "$1" "$2.new.$$"
  mv -f "$2.new.$$" "$2"
  note file "$(sum "$2")" "$2"
}

# A path outside the program's folder that something else already owns is never taken over.
check_free() {
  local path=$1
  if [ -e "$path" ] || [ -L "$path" ]; then
    [ -n "${kind_of[$path]:-}" ] || die "$path exists and was not installed by this script; nothing changed"
  fi
}

# Exec= of a desktop entry: the path quoted, its \ " ` $ escaped, then every
# backslash doubled for the string value, and % doubled.
exec_value() {
  printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/^/"/' -e 's/$/"/' -e 's/\\/\\\\/g' -e 's/%/%%/g'
}
string_value() { printf '%s' "$1" | sed -e 's/\\/\\\\/g'; }

# The user's files: kept when present. Stations is kept as a whole, so deleted stations stay deleted.
is_user_data() {
  case $1 in
  config.txt | equalizer.txt | favs.txt | favs2.txt | proxy.txt | TmpAudioFile.tmp | Stations/*) return 0 ;;
  *) return 1 ;;
  esac
}

install_program() {
  local from
  from=$(cd "${1:-$(dirname "${BASH_SOURCE[0]}")/../build/Tembrik}" 2>/dev/null && pwd) ||
    die "no program directory ${1:-build/Tembrik}: build it first (./run.sh or cmake --build build)"
  [ -x "$from/tembrik" ] || die "$from has no tembrik program: build it first (./run.sh or cmake --build build)"
  [ -f "$from/tembrik.desktop" ] || die "$from has no tembrik.desktop"
  [ "$from" != "$dest" ] || die "$from is already the installed program"
  load_manifest
  check_free "$link"
  check_free "$entry"
  local size
  for size in "${icon_sizes[@]}"; do
    [ -f "$from/tembrik-$size.png" ] || die "$from has no tembrik-$size.png"
    check_free "$(icon_path "$size")"
  done

  make_dir "$dest"
  local stations_kept=0
  [ -d "$dest/Stations" ] && stations_kept=1
  local rel
  while IFS= read -r -d '' rel; do
    rel=${rel#./}
    if [ -d "$from/$rel" ]; then
      [[ $rel == Stations* && $stations_kept == 1 ]] || make_dir "$dest/$rel"
      continue
    fi
    if is_user_data "$rel"; then
      [[ $rel == Stations/* && $stations_kept == 1 ]] && continue
      [ -e "$dest/$rel" ] && continue
    fi
    put_file "$from/$rel" "$dest/$rel"
  done < <(cd "$from" && find . -mindepth 1 \( -type f -o -type d \) -print0 | sort -z)

  make_dir "$(dirname "$link")"
  ln -sfn "$dest/tembrik" "$link"
  note link "$dest/tembrik" "$link"

  make_dir "$(dirname "$entry")"
  sed -e "s|^Exec=.*|Exec=$(exec_value "$dest/tembrik" | sed 's/[|&\\]/\\&/g')|" \
    -e "s|^TryExec=.*|TryExec=$(string_value "$dest/tembrik" | sed 's/[|&\\]/\\&/g')|" \
    "$from/tembrik.desktop" >"$entry.new.$$"
  mv -f "$entry.new.$$" "$entry"
  note file "$(sum "$entry")" "$entry"
  for size in "${icon_sizes[@]}"; do
    put_file "$from/tembrik-$size.png" "$(icon_path "$size")"
  done
  save_manifest
  echo "Tembrik installed in $dest; start it with 'tembrik' or from the applications menu."
  case ":$PATH:" in
  *":$(dirname "$link"):"*) ;;
  *) echo "Note: $(dirname "$link") is not on PATH in this shell." ;;
  esac
}

uninstall() {
  [ -f "$manifest" ] || die "nothing installed in $dest"
  load_manifest
  local path kept=0
  for path in "${order[@]}"; do
    case ${kind_of[$path]} in
    file)
      [ -f "$path" ] || continue
      if [ "$(sum "$path")" = "${detail_of[$path]}" ]; then
        rm -f "$path"
      else
        echo "kept (changed since the install): $path"
        kept=1
      fi
      ;;
    link)
      if [ -L "$path" ] && [ "$(readlink "$path")" = "${detail_of[$path]}" ]; then rm -f "$path"; fi
      ;;
    esac
  done
  rm -f "$manifest"
  # Folders deepest first, each only when nothing is left in it.
  while IFS= read -r path; do
    rmdir "$path" 2>/dev/null || true
  done < <(for path in "${order[@]}"; do
    [ "${kind_of[$path]}" = dir ] && printf '%s\n' "$path"
  done | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2-)
  if [ -d "$dest" ]; then
    echo "Tembrik removed; $dest keeps the files the program wrote there."
  else
    echo "Tembrik removed."
  fi
  [ "$kept" = 0 ] || echo "Files changed since the install were kept."
}

case ${1:-} in
--uninstall) uninstall ;;
-h | --help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' ;;
*) install_program "${1:-}" ;;
esac
