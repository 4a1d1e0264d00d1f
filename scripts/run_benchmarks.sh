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
