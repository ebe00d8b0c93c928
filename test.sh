#!/usr/bin/env bash
# Installs what is missing, builds, starts the test fixtures (virtual screen with a window manager
# and tray host, a private PulseAudio server with a null sink, a local icecast radio station),
# runs every test and prints ctest's summary. Exits non-zero when any test fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/scripts/setup.sh" test

TEMBRIK_FIXTURE_DIR=$(mktemp -d /tmp/tembrik-fixtures.XXXXXX)
export TEMBRIK_FIXTURE_DIR
for f in "$here"/tests/fixtures/*.sh; do
  # shellcheck source=/dev/null
  source "$f"
done
trap fixtures_stop EXIT
fixture_display_start
fixture_pulse_start
if declare -F fixture_station_start >/dev/null; then
  fixture_station_start
fi
# Fixture tests must fail, not skip, when a fixture they need is missing here.
export TEMBRIK_REQUIRE_FIXTURES=1

cd "$here/build"
ctest --output-on-failure --timeout 600 -j2 "$@"
