#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: install missing Debian packages, configure and build.
# Quick when everything is already there.
#
#   setup.sh run    what the player needs to build and run (packages-build.txt, packages-run.txt,
#                   and packages-headless.txt on a machine without a display or sound server)
#   setup.sh test   the same plus the tests' packages (packages-test.txt), installed with system
#                   services held back, and a build with the tests
#
# TEMBRIK_SETUP_NO_BUILD=1 stops after the packages; TEMBRIK_POLICY_RC_D names the file that holds
# service starts back (Debian's /usr/sbin/policy-rc.d). Both are for the set-up's own tests.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TEMBRIK_BUILD_DIR:-$here/build}
mode=${1:-run}
policy=${TEMBRIK_POLICY_RC_D:-/usr/sbin/policy-rc.d}

case "$mode" in
run | test) ;;
*)
  echo "usage: setup.sh run|test" >&2
  exit 2
  ;;
esac

# A sound server of the user's session answers on its socket; pactl may not be installed yet.
sound_server_running() {
  if command -v pactl >/dev/null 2>&1; then
    pactl info >/dev/null 2>&1 && return 0
  fi
  [ -S "${XDG_RUNTIME_DIR:-/run/user/$(id -u)}/pulse/native" ]
}

lists=("$here/scripts/packages-build.txt" "$here/scripts/packages-run.txt")
if [ "$mode" = run ]; then
  if { [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; } || ! sound_server_running; then
    lists+=("$here/scripts/packages-headless.txt")
  fi
fi

missing_from() {
  local p
  while read -r p; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$p"
    fi
  done < <(cat "$@" | grep -v -e '^#' -e '^[[:space:]]*$')
}

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
updated=0
apt_install() {
  echo "Installing: $*"
  if [ "$updated" -eq 0 ]; then
    "${sudo[@]}" apt-get update -qq
    updated=1
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

mapfile -t missing < <(missing_from "${lists[@]}")
if ((${#missing[@]})); then
  apt_install "${missing[@]}"
fi

if [ "$mode" = test ]; then
  mapfile -t missing < <(missing_from "$here/scripts/packages-test.txt")
  if ((${#missing[@]})); then
    # The test fixtures start their own servers on 127.0.0.1. A package such as icecast2 would
    # otherwise start its system service at once, on every interface, with default passwords:
    # hold every service start back while installing (Debian's policy-rc.d), then make sure the
    # icecast2 service stays off where systemd runs.
    placed=0
    if [ ! -e "$policy" ]; then
      printf '#!/bin/sh\n# Placed by Tembrik test set-up while it installs packages.\nexit 101\n' |
        "${sudo[@]}" tee "$policy" >/dev/null
      "${sudo[@]}" chmod 755 "$policy"
      placed=1
    fi
    remove_policy() {
      if [ "$placed" -eq 1 ]; then "${sudo[@]}" rm -f "$policy"; fi
      placed=0
    }
    trap remove_policy EXIT
    apt_install "${missing[@]}"
    remove_policy
    trap - EXIT
    if printf '%s\n' "${missing[@]}" | grep -qx icecast2; then
      if [ -d /run/systemd/system ] && command -v systemctl >/dev/null 2>&1; then
        "${sudo[@]}" systemctl disable --now icecast2.service >/dev/null 2>&1 || true
      elif [ -x /etc/init.d/icecast2 ] && command -v update-rc.d >/dev/null 2>&1; then
        # Without systemd the init script would start it at the next boot.
        "${sudo[@]}" update-rc.d icecast2 disable >/dev/null 2>&1 || true
      fi
    fi
  fi
fi

[ "${TEMBRIK_SETUP_NO_BUILD:-0}" = 1 ] && exit 0

tests=OFF
[ "$mode" = test ] && tests=ON
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEMBRIK_WERROR=ON \
    -DTEMBRIK_TESTS="$tests"
elif [ "$tests" = ON ] && ! grep -q '^TEMBRIK_TESTS:BOOL=ON' "$build/CMakeCache.txt"; then
  # A build made by run.sh has no tests yet.
  cmake "$build" -DTEMBRIK_TESTS=ON
fi
cmake --build "$build" -j"$(nproc)"
