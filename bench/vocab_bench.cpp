// The cost of naming capabilities and constants and of the text of a
// 1,000-item enumeration, each beside a plain snprintf of the same numbers
// measured in the same run, printed as a ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "caps/container.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

namespace {

constexpr int kCount = 1000;

// 1,000 codes from 0x1000 on: the listed CAP_ and ICAP_ rows and the gaps
// between them, which fall back to a number.
std::vector<int> CapCodes() {
  std::vector<int> codes;
  for (int i = 0; i < kCount; ++i) codes.push_back(0x1000 + i % 0x146);
  return codes;
}

// Capabilities with and without names, values in and beyond their arrays.
std::vector<std::pair<int, int>> ConstantQueries() {
  const int caps[] = {ICAP_UNITS, ICAP_PIXELTYPE, ICAP_SUPPORTEDSIZES, ICAP_XRESOLUTION,
                      CAP_SUPPORTEDCAPS};
  std::vector<std::pair<int, int>> queries;
  for (int i = 0; i < kCount; ++i) queries.emplace_back(caps[i % 5], i % 60);
  return queries;
}

void CapName(benchmark::State& state) {
  const std::vector<int> codes = CapCodes();
  for (auto _ : state) {
    for (int code : codes) benchmark::DoNotOptimize(::CapName(code));
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void CapNameBaseline(benchmark::State& state) {
  const std::vector<int> codes = CapCodes();
  char text[32];
  for (auto _ : state) {
    for (int code : codes) {
      benchmark::DoNotOptimize(std::snprintf(text, sizeof(text), "0x%04x", code));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void ConstantName(benchmark::State& state) {
  const auto queries = ConstantQueries();
  for (auto _ : state) {
    for (auto [cap, value] : queries) benchmark::DoNotOptimize(::ConstantName(cap, value));
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

void ConstantNameBaseline(benchmark::State& state) {
  const auto queries = ConstantQueries();
  char text[32];
  for (auto _ : state) {
    for (auto [cap, value] : queries) {
      benchmark::DoNotOptimize(std::snprintf(text, sizeof(text), "%d", value));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}

// A 1,000-item enumeration of resolutions, read back item by item.
ContainerHandle* Resolutions() {
  ContainerHandle* h = CONTAINER_CreateEnumeration(TWTY_UINT16, kCount);
  for (int n = 0; n < kCount; ++n) CONTAINER_SetItemValue(h, n, 50 + n * 7);
  return h;
}

void ValueText(benchmark::State& state) {
  ContainerHandle* h = Resolutions();
  for (auto _ : state) {
    for (int n = 0; n < kCount; ++n) {
      benchmark::DoNotOptimize(
          ::ValueText(TWTY_UINT16, CONTAINER_ItemValue(h, n), ICAP_XRESOLUTION));
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
  CONTAINER_Free(h);
}

void ValueTextBaseline(benchmark::State& state) {
  ContainerHandle* h = Resolutions();
  char text[32];
  for (auto _ : state) {
    for (int n = 0; n < kCount; ++n) {
      const auto v = static_cast<unsigned>(CONTAINER_ItemValue(h, n));
      benchmark::DoNotOptimize(std::snprintf(text, sizeof(text), "%u", v));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
  CONTAINER_Free(h);
}

BENCHMARK(CapName);
BENCHMARK(CapNameBaseline);
BENCHMARK(ConstantName);
BENCHMARK(ConstantNameBaseline);
BENCHMARK(ValueText);
BENCHMARK(ValueTextBaseline);

}  // namespace

int main(int argc, char** argv) {
  return RunWithRatios(argc, argv, "Per 1,000 numbers, against snprintf of the same numbers:",
                       {{"CapName", "CapNameBaseline"},
                        {"ConstantName", "ConstantNameBaseline"},
                        {"ValueText", "ValueTextBaseline"}});
}
