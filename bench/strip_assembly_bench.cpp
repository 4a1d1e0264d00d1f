// A memory transfer's assembly: an A4 page at 300 dpi in 24-bit colour,
// copied strip by strip from one buffer of the preferred size straight into
// the bitmap, beside a plain memcpy of the same bytes in the same strips.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/ratio_reporter.h"
#include "imaging/dib.h"
#include "imaging/strip_writer.h"
#include "platform/memory.h"

namespace {

constexpr int kWidth = 2480;   // 210 mm at 300 dpi
constexpr int kHeight = 3508;  // 297 mm at 300 dpi
constexpr std::size_t kPreferredBytes = 64 * 1024;

struct Page {
  std::size_t rowBytes = DIB_RowBytes(24, kWidth);
  std::uint32_t stripRows = static_cast<std::uint32_t>(kPreferredBytes / rowBytes);
  std::vector<unsigned char> buffer = std::vector<unsigned char>(rowBytes * stripRows, 0x5A);
};

void StripAssembly(benchmark::State& state) {
  const Page page;
  DibHandle bitmap = DIB_Create(24, kWidth, kHeight);
  for (auto _ : state) {
    StripWriter writer(bitmap);
    for (std::uint32_t row = 0; row < kHeight; row += page.stripRows) {
      const std::uint32_t rows = std::min<std::uint32_t>(page.stripRows, kHeight - row);
      writer.Write(row, rows, static_cast<std::uint32_t>(page.rowBytes), page.buffer.data(),
                   page.buffer.size());
    }
    benchmark::ClobberMemory();
  }
  platform::MemFree(bitmap);
  state.SetBytesProcessed(state.iterations() * page.rowBytes * kHeight);
}

void MemcpyOfTheSameBytes(benchmark::State& state) {
  const Page page;
  std::vector<unsigned char> image(page.rowBytes * kHeight);
  for (auto _ : state) {
    for (std::uint32_t row = 0; row < kHeight; row += page.stripRows) {
      const std::uint32_t rows = std::min<std::uint32_t>(page.stripRows, kHeight - row);
      std::memcpy(image.data() + page.rowBytes * row, page.buffer.data(), page.rowBytes * rows);
    }
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(image.data());
  state.SetBytesProcessed(state.iterations() * page.rowBytes * kHeight);
}

BENCHMARK(StripAssembly);
BENCHMARK(MemcpyOfTheSameBytes);

}  // namespace

int main(int argc, char** argv) {
  // memcpy's time over the assembly's: the assembly's throughput as a share
  // of memcpy's (1.00 is as fast; the goal is 0.80 or more).
  return RunWithRatios(argc, argv, "Throughput of the strip assembly relative to memcpy:",
                       {{"MemcpyOfTheSameBytes", "StripAssembly"}});
}
