// Laying out one screen of the log costs what is visible, not what is
// stored: a 100,000-line log at its end and at its start, each beside a
// 100-line log measured in the same run.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/ratio_reporter.h"
#include "pages/log_store.h"

namespace {

constexpr int kRows = 24;  // a tall log view

LogStore Filled(int lines) {
  LogStore store;
  for (int i = 0; i < lines; ++i) {
    store.Write("MSG_GET(ICAP_XRESOLUTION) -> TWRC_SUCCESS line " + std::to_string(i), true);
  }
  return store;
}

// What painting does with the store: the visible lines, their rows and texts.
void LayOutScreen(benchmark::State& state, const LogStore& store) {
  for (auto _ : state) {
    const LogStore::Range range = store.Visible(kRows);
    std::size_t characters = 0;
    for (int i = range.first; i < range.last; ++i) {
      characters += store.line(i).size() + static_cast<std::size_t>(store.RowOf(i));
    }
    benchmark::DoNotOptimize(characters);
  }
}

// Each case shows a full screen of kRows lines.
void ShortLog(benchmark::State& state) {
  LogStore store = Filled(100);
  store.MoveTopLine(0);
  LayOutScreen(state, store);
}

void LongLogAtTheEnd(benchmark::State& state) {
  static LogStore store = Filled(100000);
  store.MoveTopLine(store.count() - kRows);
  LayOutScreen(state, store);
}

void LongLogAtTheStart(benchmark::State& state) {
  static LogStore store = Filled(100000);
  store.MoveTopLine(0);
  LayOutScreen(state, store);
}

BENCHMARK(ShortLog);
BENCHMARK(LongLogAtTheEnd);
BENCHMARK(LongLogAtTheStart);

}  // namespace

int main(int argc, char** argv) {
  return RunWithRatios(argc, argv, "One screen of a 100,000-line log against a 100-line log:",
                       {{"LongLogAtTheEnd", "ShortLog"}, {"LongLogAtTheStart", "ShortLog"}});
}
