// One line of a benchmark's ratio report: a figure beside its baseline
// measured in the same run. Shared by the Google Benchmark programs and the
// ones that time themselves (under Wine, where that library is not built).
#pragma once

#include <cstdio>

inline void PrintRatioLine(const char* measured, double ownNs, const char* baseline,
                           double baseNs) {
  std::printf("  %-24s %12.0f ns  %-24s %12.0f ns  ratio %.2f\n", measured, ownNs, baseline, baseNs,
              ownNs / baseNs);
}
