// Arbitrary bytes as an image file (through ImageFile_Load) and as a packed
// bitmap a Source handed over: the header check, the view's accessors, its
// colour table, its rows, and every handle call must stay inside the block.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/dib.h"
#include "imaging/dib_image.h"
#include "imaging/image_file.h"
#include "platform/host/host_platform.h"
#include "platform/memory.h"
#include "platform/message_box.h"

// A JPEG may claim 65535 x 65535 pixels in a few bytes: such allocations fail
// (as they may on a real machine) instead of ending the run.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=64";
}

namespace {

constexpr int kMaxRows = 1 << 16;
constexpr std::uint32_t kMaxColors = 1 << 12;

volatile std::uint32_t g_sink;

void Exercise(DibHandle handle) {
  int context = 0;
  DibLayout layout;
  if (DIB_CheckBlock(handle, &layout) == DibCheck::kOk) {
    std::vector<unsigned char> row(layout.rowBytes < (1u << 20) ? layout.rowBytes : 1u << 20, 0x5A);
    DIB_WriteRow(handle, layout.height / 2, row.data(), row.size());
  }
  g_sink = g_sink + DIB_Depth(handle);
  DIB_SwapRedBlue(handle);
  DIB_SetResolution(handle, 300, 150.5);
  DIB_Draw(handle, &context, 0, 0, 10, 10, 0, 0);

  DibImage view;  // takes over the handle: its last release frees the block
  if (view.Attach(handle)) {
    std::uint32_t sum = view.HeaderSize() + view.Planes() + view.Compression() + view.ImageSize();
    sum += static_cast<std::uint32_t>(view.XDotsPerInch() + view.YDotsPerInch());
    sum += view.HeaderKindName()[0];
    const std::uint32_t colors = static_cast<std::uint32_t>(view.ColorCount());
    for (std::uint32_t i = 0; i < colors && i < kMaxColors; ++i) {
      view.SetColor(static_cast<int>(i), view.Color(static_cast<int>(i)) ^ 0x010101);
      sum += view.Color(static_cast<int>(i));
    }
    std::vector<unsigned char> source(layout.rowBytes < (1u << 20) ? layout.rowBytes : 0, 0xA5);
    for (int r = 0; r < view.Height() && r < kMaxRows; ++r) {
      const unsigned char* address = view.RowAddress(r);
      if (!address) break;
      for (std::size_t b = 0; b < layout.rowBytes && b < (1u << 20); ++b) sum += address[b];
      if (!source.empty()) view.WriteRow(r, source.data());
    }
    view.Draw(&context, 1, 2, 3, 2);
    sum += view.RealizePalette(&context);
    g_sink = sum;
  }
}

char g_path[64];

void RemoveTempFile() {
  std::remove(g_path);
}

const char* TempPath() {
  if (!g_path[0]) {
    std::snprintf(g_path, sizeof(g_path), "/tmp/image_file_fuzz.%d", static_cast<int>(getpid()));
    std::atexit(RemoveTempFile);
  }
  return g_path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // As a file.
  if (FILE* file = std::fopen(TempPath(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    if (DibHandle image = ImageFile_Load(TempPath())) Exercise(image);
  }

  // As a block of exactly these bytes.
  if (DibHandle block = platform::MemAlloc(size)) {
    {
      platform::MemLockGuard lock(block);
      if (lock && size) std::memcpy(lock.data(), data, size);
    }
    Exercise(block);
  }

  platform::TakeCapturedMessageBoxes();
  platform::host::TakeDibDraws();
  if (platform::host::GetMemoryStats().liveBlocks != 0 ||
      platform::host::GetMemoryStats().outstandingLocks != 0) {
    __builtin_trap();  // a leaked block or a lock left behind
  }
  return 0;
}
