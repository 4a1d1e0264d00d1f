// Arbitrary bytes as a container block from a Source. Byte 0 picks the
// format, byte 1 the capability whose names the texts use; the rest is the
// block. Every read must stay inside the block and every walk must end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "caps/container.h"
#include "platform/memory.h"
#include "platform/message_box.h"
#include "vocab/value_text.h"

namespace {

constexpr int kFormats[] = {TWON_ARRAY, TWON_ENUMERATION, TWON_ONEVALUE, TWON_RANGE, 0, 0xffff};
constexpr int kCaps[] = {ICAP_XRESOLUTION,  ICAP_UNITS, ICAP_SUPPORTEDSIZES,
                         CAP_SUPPORTEDCAPS, CAP_AUTHOR, 0x8001};

// An item address must name a whole item inside the block.
void CheckItem(const ContainerHandle* h, const void* item) {
  if (!item) return;
  const auto* start = static_cast<const std::uint8_t*>(h->data);
  const auto* p = static_cast<const std::uint8_t*>(item);
  const auto size = static_cast<std::size_t>(CONTAINER_ItemSize(CONTAINER_ItemType(h)));
  if (p < start || size == 0 || p + size > start + h->size) __builtin_trap();
}

// Finding an item must agree with a walk down from the last item.
void CheckFind(const ContainerHandle* h, double value) {
  const int found = CONTAINER_FindItem(h, value);
  const int count = CONTAINER_ItemCount(h);
  if (count > 4096) return;
  int walked = -1;
  for (int n = count - 1; n >= 0 && walked < 0; --n) {
    if (CONTAINER_ItemValue(h, n) == value) walked = n;
  }
  if (found != walked) __builtin_trap();
}

void Read(const ContainerHandle* h, int cap) {
  const int type = CONTAINER_ItemType(h);
  const int count = CONTAINER_ItemCount(h);
  if (count > kMaxRangeItems) __builtin_trap();
  // The first and last items, as a caller walking them all would meet them.
  for (int n : {-1, 0, 1, 2, count - 2, count - 1, count, count + 7}) {
    const double value = CONTAINER_ItemValue(h, n);
    CONTAINER_IntValue(h, n);
    void* item = CONTAINER_ItemPtr(h, n);
    CheckItem(h, item);
    ItemText(type, item, cap);
    ValueText(type, value, cap);
    CheckFind(h, value);
    CheckFind(h, value + 0.5);
  }
  CheckFind(h, CONTAINER_RangeMax(h));
  OneValueText(h, cap);
  ValueText(type, CONTAINER_CurrentValue(h), cap);
  ValueText(type, CONTAINER_DefaultValue(h), cap);
  CONTAINER_CurrentIndex(h);
  CONTAINER_DefaultIndex(h);
  CONTAINER_RangeMin(h);
  CONTAINER_RangeMax(h);
  CONTAINER_RangeStep(h);
}

void Write(ContainerHandle* h, int cap) {
  const int last = CONTAINER_ItemCount(h) - 1;
  CONTAINER_SelectCurrentItem(h, last);
  CONTAINER_SelectDefault(h, CONTAINER_ItemValue(h, 0));
  CONTAINER_SetItemValue(h, last, -1.5);
  CONTAINER_SetItemText(h, last,
                        "a text longer than the widest string item would hold if it were not cut");
  CONTAINER_SetItemFrame(h, last, 1, 2, 3, 4);
  StoreItemText(h, 0, cap, "1, 2", 1);
  StoreItemText(h, last, cap, "12.5", 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int format = kFormats[data[0] % std::size(kFormats)];
  const int cap = kCaps[data[1] % std::size(kCaps)];
  const std::size_t blockSize = size - 2;
  platform::MemoryHandle block = platform::MemAlloc(blockSize);
  if (platform::MemLockGuard lock(block); lock && blockSize) {
    std::memcpy(lock.data(), data + 2, blockSize);
  }
  ContainerHandle* h = CONTAINER_Attach(format, block);
  if (h) {
    Read(h, cap);
    Write(h, cap);
    Read(h, cap);
  }
  CONTAINER_Free(h);
  platform::TakeCapturedMessageBoxes();
  return 0;
}
