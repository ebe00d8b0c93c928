#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (clang, AddressSanitizer + UndefinedBehaviorSanitizer, in
# build-fuzz/ beside the program's own build) and runs each for SECONDS, starting from the seeds and
# kept regression inputs in fuzz/corpus/<target>/. Prints one line per target: executions, coverage,
# findings. New inputs go to build-fuzz/corpus/, findings to build-fuzz/findings/<target>/; exits 1
# when any target found something (turn a finding into a fixed fault and keep its input in
# fuzz/corpus/<target>/).
#   bench/fuzz.sh SECONDS [TARGET...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:?usage: bench/fuzz.sh SECONDS [TARGET...]}
shift
build=${TEMBRIK_FUZZ_BUILD:-$here/build-fuzz}
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(sed -n 's/^set(TEMBRIK_FUZZ_TARGETS \(.*\))$/\1/p' "$here/fuzz/CMakeLists.txt" | tr ' ' '\n')
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
sanitizers="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
mkdir -p "$build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEMBRIK_TESTS=OFF -DTEMBRIK_FUZZ=ON -DTEMBRIK_WERROR=ON \
    -DTEMBRIK_DIRS="platform;audio;stations;playback;app" \
    -DCMAKE_C_FLAGS="$sanitizers" -DCMAKE_CXX_FLAGS="$sanitizers" >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 2; }
fi
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}" >"$build/fuzz-build.log" 2>&1 ||
  { tail -50 "$build/fuzz-build.log"; exit 2; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
found=0
for t in "${targets[@]}"; do
  seeds=$here/fuzz/corpus/$t
  work=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$work" "$findings" "$seeds"
  log=$build/findings/$t.log
  status=0
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\) .*/\1/p' "$log" | tail -1)
  count=$(find "$findings" -maxdepth 1 -type f | wc -l)
  if ((status != 0 && count == 0)); then count=1; fi
  printf '%-12s %10s executions  %6s coverage points  %s findings\n' "$t" "${runs:-0}" "${cov:-0}" "$count"
  if ((count > 0)); then
    found=1
    echo "  see $log and $findings/" >&2
  fi
done
exit $found
