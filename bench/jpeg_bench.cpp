// Decodes an A4 page scanned at 300 dpi (2480 x 3508, colour) through our
// reading path (ImageFile_Load: open, recognise, read, decode into a bottom-up
// bitmap) and, in the same run, with libjpeg-turbo's own decompression loop
// from memory into one buffer. Prints our time over the decoder's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "imaging/image_file.h"
#include "platform/memory.h"
#include "tests/fixtures/jpeg_encoder.h"

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

// A page: paper with a soft gradient, lines of "text" and a photo-like block.
std::vector<unsigned char> PagePixels() {
  std::vector<unsigned char> rgb(static_cast<std::size_t>(kWidth) * kHeight * 3);
  std::uint32_t noise = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245 + 12345;
      const int grain = static_cast<int>((noise >> 16) & 7) - 4;
      int r = 235 + grain, g = 232 + grain, b = 225 + grain - y / 400;
      const bool textLine = (y / 40) % 2 == 0 && y > 300 && y < 2200 && x > 200 && x < 2280;
      if (textLine && ((x / 9) % 7 != 0) && ((x * 7 + y * 3) % 11 < 5)) r = g = b = 30 + grain;
      if (y > 2400 && y < 3300 && x > 300 && x < 2180) {
        r = static_cast<int>(128 + 90 * std::sin(x / 70.0) + grain);
        g = static_cast<int>(128 + 90 * std::cos(y / 50.0) + grain);
        b = static_cast<int>(128 + 60 * std::sin((x + y) / 90.0) + grain);
      }
      unsigned char* p = &rgb[(static_cast<std::size_t>(y) * kWidth + x) * 3];
      p[0] = static_cast<unsigned char>(r < 0 ? 0 : r > 255 ? 255 : r);
      p[1] = static_cast<unsigned char>(g < 0 ? 0 : g > 255 ? 255 : g);
      p[2] = static_cast<unsigned char>(b < 0 ? 0 : b > 255 ? 255 : b);
    }
  }
  return rgb;
}

std::vector<unsigned char> EncodePage() {
  return test::EncodeJpeg({kWidth, kHeight, 3, JCS_RGB, PagePixels()}, {85});
}

struct Page {
  std::vector<unsigned char> bytes = EncodePage();
  std::string path = "/tmp/jpeg_bench." + std::to_string(getpid()) + ".jpg";
  Page() {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
  }
  ~Page() { std::remove(path.c_str()); }
};

Page& ThePage() {
  static Page page;
  return page;
}

void OurReadingPath(benchmark::State& state) {
  const std::string& path = ThePage().path;
  for (auto _ : state) {
    DibHandle dib = ImageFile_Load(path.c_str());
    if (!dib) state.SkipWithError("the page did not decode");
    benchmark::DoNotOptimize(dib);
    platform::MemFree(dib);
  }
}

constexpr std::size_t kRowBytes = (kWidth * 3 + 3) / 4 * 4;

// libjpeg-turbo's own loop: blue-green-red rows, four a call as our path asks.
void Decode(const std::vector<unsigned char>& bytes, unsigned char* pixels) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[4];
    JDIMENSION want = info.output_height - info.output_scanline;
    if (want > 4) want = 4;
    for (JDIMENSION i = 0; i < want; ++i) rows[i] = pixels + kRowBytes * (info.output_scanline + i);
    jpeg_read_scanlines(&info, rows, want);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
}

// The decoder alone, into a buffer it keeps.
void LibjpegLoop(benchmark::State& state) {
  std::vector<unsigned char> pixels(kRowBytes * kHeight);
  for (auto _ : state) {
    Decode(ThePage().bytes, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
}

// The decoder into a new movable block each time, as our path must: on the
// host the block comes from the memory double, which fills it with a pattern.
void LibjpegIntoNewBlock(benchmark::State& state) {
  for (auto _ : state) {
    platform::MemoryHandle block = platform::MemAlloc(kRowBytes * kHeight);
    {
      platform::MemLockGuard lock(block);
      if (!lock) state.SkipWithError("no memory for the page");
      if (lock) Decode(ThePage().bytes, static_cast<unsigned char*>(lock.data()));
    }
    platform::MemFree(block);
  }
}

// Each the mean of three runs: the machine is shared.
BENCHMARK(OurReadingPath)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(LibjpegLoop)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(LibjpegIntoNewBlock)->Repetitions(3)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  std::printf("page: %d x %d colour JPEG of %zu bytes\n", kWidth, kHeight, ThePage().bytes.size());
  constexpr const char* kOurs = "OurReadingPath/repeats:3_mean";
  return RunWithRatios(
      argc, argv,
      "Our reading path against libjpeg-turbo's loop, into its own buffer and "
      "into a new movable block:",
      {{kOurs, "LibjpegLoop/repeats:3_mean"}, {kOurs, "LibjpegIntoNewBlock/repeats:3_mean"}});
}
