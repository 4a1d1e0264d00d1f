#!/usr/bin/env bash
# Runs every fuzzer for the given seconds, two at a time, starting from its
# corpus in the tree (tests/fuzz/corpus/<name>); new inputs go to the build folder.
# The logs hold the inputs' bytes, so they are read as text (grep -a).
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
status=0
run() {
  local name=$1 work=build/fuzz/corpus/$1 seed=tests/fuzz/corpus/$1
  mkdir -p "$work" "$seed"
  if build/fuzz/tests/fuzz/"$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 "$work" "$seed" >"build/fuzz/$name.log" 2>&1; then
    echo "fuzz: $name ran ${seconds} s without a finding ($(grep -a -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$name.log" | grep -o '[0-9]*$') inputs)"
  else
    echo "fuzz: $name FOUND A PROBLEM (build/fuzz/$name.log)"
    tail -40 "build/fuzz/$name.log"
    return 1
  fi
}
pids=()
for source in tests/fuzz/*_fuzz.cpp; do
  run "$(basename "$source" .cpp)" &
  pids+=($!)
  if ((${#pids[@]} == 2)); then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
