// Runs a program's benchmarks and prints, after Google Benchmark's table,
// each figure as a ratio to a baseline measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include "bench/ratio_line.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  std::map<std::string, double> times;
};

struct Ratio {
  const char* measured;
  const char* baseline;
};

inline int RunWithRatios(int argc, char** argv, const char* heading,
                         const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%s\n", heading);
  for (const Ratio& ratio : ratios) {
    const auto own = reporter.times.find(ratio.measured);
    const auto base = reporter.times.find(ratio.baseline);
    if (own == reporter.times.end() || base == reporter.times.end() || base->second <= 0) continue;
    PrintRatioLine(ratio.measured, own->second, ratio.baseline, base->second);
  }
  benchmark::Shutdown();
  return 0;
}
