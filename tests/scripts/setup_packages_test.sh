#!/usr/bin/env bash
# The set-up's package choice, with apt-get and dpkg-query replaced by recorders on PATH:
# run.sh's set-up asks for no test package; test.sh's asks for them, and holds service starts
# back (a policy-rc.d in place) only while it installs them.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
policy=$work/policy-rc.d

# Nothing is installed yet, as on a fresh machine.
cat >"$work/bin/dpkg-query" <<'SH'
#!/bin/sh
exit 1
SH
# Each install call is one line: whether the policy file was in place, then the packages.
cat >"$work/bin/apt-get" <<SH
#!/bin/sh
[ "\$1" = install ] || exit 0
if [ -e "$policy" ]; then held=held; else held=open; fi
shift
echo "\$held \$*" >>"$work/installs"
SH
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/systemctl"
chmod +x "$work/bin/"*

asked() { tr ' ' '\n' <"$work/installs" | grep -qx -- "$1"; }
packages() { grep -v -e '^#' -e '^[[:space:]]*$' "$here/scripts/$1"; }
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/installs" ] && cat "$work/installs" >&2
  exit 1
}
run_setup() {
  rm -f "$work/installs"
  env "$@" PATH="$work/bin:$PATH" TEMBRIK_SETUP_NO_BUILD=1 TEMBRIK_POLICY_RC_D="$policy" \
    "$here/scripts/setup.sh" "$mode" >/dev/null
}
test_only=$(comm -23 <(packages packages-test.txt | sort -u) \
  <(cat <(packages packages-build.txt) <(packages packages-run.txt) <(packages packages-headless.txt) | sort -u))

# run.sh on a desktop (a display, a sound server's socket in the session's runtime folder): the
# player's packages, nothing of the tests, nothing headless.
mkdir -p "$work/desktop/pulse"
/usr/bin/python3 -c 'import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' \
  "$work/desktop/pulse/native"
mode=run
run_setup DISPLAY=:0 XDG_RUNTIME_DIR="$work/desktop" PULSE_SERVER=unix:/nonexistent
for p in $test_only xvfb pulseaudio; do
  asked "$p" && fail "run set-up asked for $p"
done
for p in $(packages packages-build.txt) $(packages packages-run.txt); do
  asked "$p" || fail "run set-up did not ask for $p"
done

# run.sh on a machine without display and sound server adds the virtual screen and the server.
mkdir -p "$work/norun"
run_setup -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/norun" PULSE_SERVER=unix:/nonexistent
for p in xvfb pulseaudio; do asked "$p" || fail "headless run without $p"; done
for p in $test_only; do asked "$p" && fail "headless run asked for $p"; done

# test.sh: every test package, in an install made while service starts are held back.
mode=test
run_setup DISPLAY=:0
held_line=$(grep '^held ' "$work/installs") || fail "no install with service starts held back"
for p in $test_only; do
  echo "$held_line" | tr ' ' '\n' | grep -qx -- "$p" || fail "$p was not installed with services held back"
done
grep '^open ' "$work/installs" | tr ' ' '\n' | grep -qx icecast2 && fail "icecast2 installed with services free"
[ -e "$policy" ] && fail "policy-rc.d left in place after the install"

# A policy-rc.d of the machine's own stays as it was.
echo '#!/bin/sh' >"$policy"
run_setup DISPLAY=:0
[ "$(cat "$policy")" = '#!/bin/sh' ] || fail "an existing policy-rc.d was changed"
echo "setup package choice: ok"
