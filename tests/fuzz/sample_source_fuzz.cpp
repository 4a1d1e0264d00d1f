// What an application hands the Sample Source: capability containers of any
// shape and size, and image layouts, set on a fresh Source. The Source must
// stay inside every block and keep its settings sound.
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/memory.h"
#include "sample_source/capability_table.h"
#include "sample_source/quiet_host.h"
#include "sample_source/sample_source.h"
#include "sample_source/source_module.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static const std::vector<TW_UINT16> caps = sample::SupportedCapabilities();
  sample::SampleSource source(sample::SourceIdentity(0), TW_IDENTITY{},
                              std::make_unique<sample::QuietHost>(), {});
  const TW_UINT16 cap = caps[data[0] % caps.size()];
  const TW_UINT16 conType = static_cast<TW_UINT16>(TWON_ARRAY + data[1] % 4);
  platform::MemoryHandle block = platform::MemAlloc(size - 2);
  {
    platform::MemLockGuard lock(block);
    if (lock && size > 2) std::memcpy(lock.data(), data + 2, size - 2);
  }
  TW_CAPABILITY record{cap, conType, block};
  source.Entry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
  platform::MemFree(block);

  if (size >= 2 + sizeof(TW_IMAGELAYOUT)) {
    TW_IMAGELAYOUT layout;
    std::memcpy(&layout, data + 2, sizeof(layout));
    source.Entry(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
  }
  // Whatever was accepted still describes an image the Source can make.
  TW_SETUPMEMXFER setup{};
  source.Entry(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  const sample::ImageGeometry g = sample::GeometryOf(source.settings());
  if (g.width < 1 || g.height < 1 || g.width > 5100 || g.height > 8400 || setup.MinBufSize == 0) {
    __builtin_trap();
  }
  for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT}) {
    TW_CAPABILITY get{cap, TWON_DONTCARE16, nullptr};
    source.Entry(DG_CONTROL, DAT_CAPABILITY, msg, &get);
    platform::MemFree(get.hContainer);
  }
  return 0;
}
