#include "sample_source/container_io.h"

#include <cmath>
#include <cstring>

#include "platform/memory.h"

namespace sample {
namespace {

constexpr std::size_t kItemSizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256};

bool IsInteger(TW_UINT16 itemType) {
  return itemType <= TWTY_UINT32;
}

template <class T>
T Read(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  return value;
}

template <class T>
void Write(std::uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof(T));
}

// A fresh block of `size` bytes filled by `fill`, zeroed first.
template <class Fill>
platform::MemoryHandle NewBlock(std::size_t size, Fill fill) {
  platform::MemoryHandle block = platform::MemAlloc(size);
  if (!block) return nullptr;
  platform::MemLockGuard lock(block);
  if (!lock) {
    platform::MemFree(block);
    return nullptr;
  }
  auto* data = static_cast<std::uint8_t*>(lock.data());
  std::memset(data, 0, size);
  fill(data);
  return block;
}

// The 32-bit slot of a range holds the item's bytes in its low end.
TW_UINT32 Slot(TW_UINT16 itemType, double value) {
  const Bytes item = EncodeNumber(itemType, value);
  TW_UINT32 slot = 0;
  std::memcpy(&slot, item.data(), item.size());
  return slot;
}

double FromSlot(TW_UINT16 itemType, TW_UINT32 slot) {
  std::uint8_t bytes[4];
  std::memcpy(bytes, &slot, sizeof(bytes));
  return DecodeNumber(itemType, bytes);
}

}  // namespace

std::size_t ItemSize(TW_UINT16 itemType) {
  return itemType < std::size(kItemSizes) ? kItemSizes[itemType] : 0;
}

bool CompatibleTypes(TW_UINT16 a, TW_UINT16 b) {
  return a == b || (IsInteger(a) && IsInteger(b) && ItemSize(a) == ItemSize(b));
}

TW_FIX32 ToFix32(double value) {
  // Nearest 1/65536, halves away from zero.
  const auto scaled = static_cast<std::int32_t>(std::lround(value * 65536.0));
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(scaled >> 16);
  fix.Frac = static_cast<TW_UINT16>(scaled & 0xFFFF);
  return fix;
}

double FromFix32(TW_FIX32 value) {
  return value.Whole + value.Frac / 65536.0;
}

Bytes EncodeNumber(TW_UINT16 itemType, double value) {
  Bytes item(ItemSize(itemType) ? ItemSize(itemType) : 4, 0);
  const auto whole = static_cast<std::int64_t>(std::llround(value));
  switch (ItemSize(itemType)) {
    case 1:
      item[0] = static_cast<std::uint8_t>(whole);
      break;
    case 2:
      Write(item.data(), static_cast<std::uint16_t>(whole));
      break;
    default:
      if (itemType == TWTY_FIX32) {
        Write(item.data(), ToFix32(value));
      } else {
        Write(item.data(), static_cast<std::uint32_t>(whole));
      }
  }
  return item;
}

double DecodeNumber(TW_UINT16 itemType, const std::uint8_t* item) {
  switch (itemType) {
    case TWTY_INT8:
      return Read<std::int8_t>(item);
    case TWTY_INT16:
      return Read<std::int16_t>(item);
    case TWTY_INT32:
      return Read<std::int32_t>(item);
    case TWTY_UINT8:
      return Read<std::uint8_t>(item);
    case TWTY_UINT16:
    case TWTY_BOOL:
      return Read<std::uint16_t>(item);
    case TWTY_UINT32:
      return Read<std::uint32_t>(item);
    case TWTY_FIX32:
      return FromFix32(Read<TW_FIX32>(item));
    default:
      return 0;
  }
}

Bytes EncodeFrame(const TW_FRAME& frame) {
  Bytes item(sizeof(TW_FRAME));
  std::memcpy(item.data(), &frame, sizeof(TW_FRAME));
  return item;
}

Bytes EncodeText(TW_UINT16 itemType, const char* text) {
  Bytes item(ItemSize(itemType), 0);
  if (item.empty()) return item;
  const std::size_t length = text ? std::min(std::strlen(text), item.size() - 1) : 0;
  if (length) std::memcpy(item.data(), text, length);
  return item;
}

platform::MemoryHandle BuildOneValue(TW_UINT16 itemType, const Bytes& item) {
  // The Item field is four bytes even for narrower types.
  const std::size_t size = 2 + std::max<std::size_t>(4, item.size());
  return NewBlock(size, [&](std::uint8_t* data) {
    Write(data, itemType);
    std::memcpy(data + 2, item.data(), item.size());
  });
}

platform::MemoryHandle BuildEnumeration(TW_UINT16 itemType, const Bytes& items,
                                        TW_UINT32 currentIndex, TW_UINT32 defaultIndex) {
  const std::size_t itemSize = ItemSize(itemType);
  const auto count = static_cast<TW_UINT32>(itemSize ? items.size() / itemSize : 0);
  return NewBlock(sizeof(TW_ENUMERATION) + items.size(), [&](std::uint8_t* data) {
    TW_ENUMERATION header{itemType, count, currentIndex, defaultIndex};
    std::memcpy(data, &header, sizeof(header));
    std::memcpy(data + sizeof(header), items.data(), items.size());
  });
}

platform::MemoryHandle BuildArray(TW_UINT16 itemType, const Bytes& items) {
  const std::size_t itemSize = ItemSize(itemType);
  const auto count = static_cast<TW_UINT32>(itemSize ? items.size() / itemSize : 0);
  return NewBlock(sizeof(TW_ARRAY) + items.size(), [&](std::uint8_t* data) {
    TW_ARRAY header{itemType, count};
    std::memcpy(data, &header, sizeof(header));
    std::memcpy(data + sizeof(header), items.data(), items.size());
  });
}

platform::MemoryHandle BuildRange(TW_UINT16 itemType, double min, double max, double step,
                                  double defaultValue, double currentValue) {
  return NewBlock(sizeof(TW_RANGE), [&](std::uint8_t* data) {
    TW_RANGE range{itemType,
                   Slot(itemType, min),
                   Slot(itemType, max),
                   Slot(itemType, step),
                   Slot(itemType, defaultValue),
                   Slot(itemType, currentValue)};
    std::memcpy(data, &range, sizeof(range));
  });
}

std::optional<ReceivedContainer> ReadContainer(TW_UINT16 conType, platform::MemoryHandle block) {
  const std::size_t size = platform::MemSize(block);
  platform::MemLockGuard lock(block);
  if (!lock || size < 2) return std::nullopt;
  const auto* data = static_cast<const std::uint8_t*>(lock.data());
  ReceivedContainer c;
  c.conType = conType;
  c.itemType = Read<TW_UINT16>(data);
  const std::size_t itemSize = ItemSize(c.itemType);
  if (itemSize == 0) return std::nullopt;

  // Items from `offset` on, `count` of them, all inside the block.
  auto takeItems = [&](std::size_t offset, std::uint64_t count) {
    if (offset > size || count > (size - offset) / itemSize) return false;
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint8_t* item = data + offset + i * itemSize;
      c.items.emplace_back(item, item + itemSize);
    }
    return true;
  };

  switch (conType) {
    case TWON_ONEVALUE:
      if (!takeItems(2, 1)) return std::nullopt;
      return c;
    case TWON_ARRAY:
      if (size < sizeof(TW_ARRAY)) return std::nullopt;
      if (!takeItems(sizeof(TW_ARRAY), Read<TW_ARRAY>(data).NumItems)) return std::nullopt;
      return c;
    case TWON_ENUMERATION: {
      if (size < sizeof(TW_ENUMERATION)) return std::nullopt;
      const auto header = Read<TW_ENUMERATION>(data);
      c.currentIndex = header.CurrentIndex;
      c.defaultIndex = header.DefaultIndex;
      if (!takeItems(sizeof(TW_ENUMERATION), header.NumItems)) return std::nullopt;
      return c;
    }
    case TWON_RANGE: {
      if (size < sizeof(TW_RANGE) || itemSize > 4) return std::nullopt;
      const auto r = Read<TW_RANGE>(data);
      c.range = {FromSlot(c.itemType, r.MinValue), FromSlot(c.itemType, r.MaxValue),
                 FromSlot(c.itemType, r.StepSize), FromSlot(c.itemType, r.DefaultValue),
                 FromSlot(c.itemType, r.CurrentValue)};
      return c;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace sample
