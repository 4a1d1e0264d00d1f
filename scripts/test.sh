#!/usr/bin/env bash
# Builds all three presets and runs every test: the host tests under the
# sanitizers, the Windows tests under Wine, the fuzzers for a short run and
# the benchmarks once. Prints ctest's summaries at the end; exits non-zero
# when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
logs=$root/build/logs
fuzz_seconds=${VORREL_FUZZ_SECONDS:-60}

step() { printf '\n=== %s\n' "$*"; }
failed=()

step "set-up"
scripts/setup.sh || exit 1

for preset in host win64 win32; do
  step "build $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    failed+=("build $preset")
  fi
done

step "static linking"
scripts/check_static.sh build/win64 build/win32 || failed+=("static linking")

mkdir -p "$logs"
step "host tests"
ctest --preset host -j2 2>&1 | tee "$logs/ctest-host.log"
[[ ${PIPESTATUS[0]} -eq 0 ]] || failed+=("host tests")

step "Windows tests under Wine"
source scripts/wine_env.sh
scripts/wine_prefix.sh null
scripts/install_sample_source.sh || failed+=("install Sample Source")
# One persistent wineserver for the whole run: each test starts in a tenth
# of a second instead of seconds. Wine's helpers must not hold ctest's pipe.
timeout 60 wineserver -p
timeout 60 wine cmd /c exit >/dev/null 2>&1 </dev/null
ctest --preset win64 2>&1 | tee "$logs/ctest-win64.log"
[[ ${PIPESTATUS[0]} -eq 0 ]] || failed+=("Windows tests")
timeout 60 wineserver -k || true

step "release package"
if scripts/package.sh; then
  scripts/test_package.sh || failed+=("release package test")
else
  failed+=("release package")
fi

if compgen -G "tests/fuzz/*_fuzz.cpp" >/dev/null; then
  step "fuzzers (${fuzz_seconds} s each)"
  if cmake --preset fuzz >/dev/null && cmake --build --preset fuzz; then
    scripts/run_fuzzers.sh "$fuzz_seconds" 2>&1 | tee "$logs/fuzz.log"
    [[ ${PIPESTATUS[0]} -eq 0 ]] || failed+=("fuzzers")
  else
    failed+=("build fuzz")
  fi
fi

if compgen -G "bench/*_bench.cpp" >/dev/null; then
  step "benchmarks"
  if cmake --preset bench >/dev/null && cmake --build --preset bench; then
    scripts/run_benchmarks.sh 2>&1 | tee "$logs/bench.log"
  else
    failed+=("build bench")
  fi
fi

step "summary"
for log in "$logs"/ctest-host.log "$logs"/ctest-win64.log; do
  [[ -f "$log" ]] || continue
  printf '%s: ' "$(basename "$log" .log)"
  grep -E 'tests passed|tests failed' "$log" | tail -1
  sed -n '/The following tests FAILED/,$p' "$log"
done
[[ -f "$logs/fuzz.log" ]] && grep -E '^fuzz:' "$logs/fuzz.log"
if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All tests passed."
