#!/usr/bin/env bash
# Runs every benchmark once; each prints its figures beside a baseline
# measured in the same run.
set -uo pipefail
cd "$(dirname "$0")/.."
for source in bench/*_bench.cpp; do
  name=$(basename "$source" .cpp)
  echo "--- $name"
  build/bench/bench/"$name" --benchmark_min_time=0.2 || echo "bench: $name failed"
done

# The Windows benchmarks run under Wine against the Sample Source.
for exe in build/win64/bench/win/*_bench.exe; do
  [[ -f "$exe" ]] || continue
  name=$(basename "$exe" .exe)
  echo "--- $name (Wine)"
  (source scripts/wine_env.sh && scripts/install_sample_source.sh >/dev/null &&
    timeout 600 wine "$exe") || echo "bench: $name failed"
done
