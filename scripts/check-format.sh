#!/usr/bin/env bash
# Fails when a C++ file of ours differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mapfile -t files < <(find app audio bench desktop directory fuzz import mediaplayer net platform playback recording \
  settings stations tests ui update \
  -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
bad=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (clang-format -i $f)"
    bad=1
  fi
done
echo "${#files[@]} files checked"
exit $bad
