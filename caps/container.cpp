#include "caps/container.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "platform/memory.h"
#include "session/call_seam.h"
#include "session/triplet_calls.h"
#include "vocab/item_types.h"

// The records are read and written with memcpy of native integers.
static_assert(std::endian::native == std::endian::little);

namespace {

enum class ItemKind : std::uint8_t { kSigned, kUnsigned, kFix32, kNotNumber };

struct ItemTypeRow {
  int size;
  ItemKind kind;
};

// Indexed by the TWTY code.
constexpr ItemTypeRow kItemTypes[] = {{1, ItemKind::kSigned},        // TWTY_INT8
                                      {2, ItemKind::kSigned},        // TWTY_INT16
                                      {4, ItemKind::kSigned},        // TWTY_INT32
                                      {1, ItemKind::kUnsigned},      // TWTY_UINT8
                                      {2, ItemKind::kUnsigned},      // TWTY_UINT16
                                      {4, ItemKind::kUnsigned},      // TWTY_UINT32
                                      {2, ItemKind::kUnsigned},      // TWTY_BOOL
                                      {4, ItemKind::kFix32},         // TWTY_FIX32
                                      {16, ItemKind::kNotNumber},    // TWTY_FRAME
                                      {34, ItemKind::kNotNumber},    // TWTY_STR32
                                      {66, ItemKind::kNotNumber},    // TWTY_STR64
                                      {130, ItemKind::kNotNumber},   // TWTY_STR128
                                      {256, ItemKind::kNotNumber}};  // TWTY_STR255
static_assert(std::size(kItemTypes) == TWTY_STR255 + 1);

const ItemTypeRow* FindRow(int itemType) {
  const auto index = static_cast<unsigned>(itemType);
  return index < std::size(kItemTypes) ? &kItemTypes[index] : nullptr;
}

constexpr std::size_t kItemTypeAt = offsetof(TW_ONEVALUE, ItemType);
constexpr std::size_t kOneValueItemAt = offsetof(TW_ONEVALUE, Item);
constexpr std::size_t kNumItemsAt = offsetof(TW_ARRAY, NumItems);
static_assert(kNumItemsAt == offsetof(TW_ENUMERATION, NumItems));
constexpr std::size_t kCurrentIndexAt = offsetof(TW_ENUMERATION, CurrentIndex);
constexpr std::size_t kDefaultIndexAt = offsetof(TW_ENUMERATION, DefaultIndex);
constexpr std::size_t kEnumItemsAt = sizeof(TW_ENUMERATION);
constexpr std::size_t kArrayItemsAt = sizeof(TW_ARRAY);
constexpr std::size_t kRangeMinAt = offsetof(TW_RANGE, MinValue);
constexpr std::size_t kRangeMaxAt = offsetof(TW_RANGE, MaxValue);
constexpr std::size_t kRangeStepAt = offsetof(TW_RANGE, StepSize);
constexpr std::size_t kRangeDefaultAt = offsetof(TW_RANGE, DefaultValue);
constexpr std::size_t kRangeCurrentAt = offsetof(TW_RANGE, CurrentValue);

bool Valid(const ContainerHandle* h) {
  return h && h->magic == kContainerMagic;
}

// The bytes [offset, offset + width) of the block; null when any of them
// lies beyond its end.
std::uint8_t* Bytes(const ContainerHandle* h, std::size_t offset, std::size_t width) {
  if (offset > h->size || width > h->size - offset) return nullptr;
  return static_cast<std::uint8_t*>(h->data) + offset;
}

template <typename T>
bool Read(const ContainerHandle* h, std::size_t offset, T& out) {
  const std::uint8_t* bytes = Bytes(h, offset, sizeof(T));
  if (!bytes) return false;
  std::memcpy(&out, bytes, sizeof(T));
  return true;
}

template <typename T>
bool Write(ContainerHandle* h, std::size_t offset, T value) {
  std::uint8_t* bytes = Bytes(h, offset, sizeof(T));
  if (!bytes) return false;
  std::memcpy(bytes, &value, sizeof(T));
  return true;
}

int ItemTypeOf(const ContainerHandle* h) {
  TW_UINT16 type = 0;
  return Read(h, kItemTypeAt, type) ? type : -1;
}

// Where the item list starts, for the two list shapes.
std::size_t ListStart(int format) {
  return format == TWON_ENUMERATION ? kEnumItemsAt : kArrayItemsAt;
}

// NumItems, but never more items than the block holds: a Source may declare
// more than it allocated.
int ListCount(const ContainerHandle* h) {
  TW_UINT32 numItems = 0;
  const int size = CONTAINER_ItemSize(ItemTypeOf(h));
  const std::size_t start = ListStart(h->format);
  if (!Read(h, kNumItemsAt, numItems) || size == 0) return 0;
  const std::size_t held = (h->size - std::min(h->size, start)) / static_cast<std::size_t>(size);
  return static_cast<int>(std::min<std::size_t>({numItems, held, INT_MAX}));
}

// A number slot of a one-value or range: the low-order bytes of the item.
bool ReadSlot(const ContainerHandle* h, std::size_t offset, double& out) {
  const int type = ItemTypeOf(h);
  if (!IsNumberType(type)) {
    out = 0.0;
    return type != -1;  // an unreadable type
  }
  const std::uint8_t* bytes = Bytes(h, offset, static_cast<std::size_t>(CONTAINER_ItemSize(type)));
  if (!bytes) return false;
  out = ReadItemNumber(bytes, type);
  return true;
}

double SlotOr(const ContainerHandle* h, std::size_t offset, double fallback) {
  double value = 0.0;
  return ReadSlot(h, offset, value) ? value : fallback;
}

struct RangeSlots {
  double min = 0.0, max = 0.0, step = 0.0;
};

// False when the block ends before the three slots.
bool ReadRangeSlots(const ContainerHandle* h, RangeSlots& r) {
  return ReadSlot(h, kRangeMinAt, r.min) && ReadSlot(h, kRangeMaxAt, r.max) &&
         ReadSlot(h, kRangeStepAt, r.step);
}

int RangeCountOf(const RangeSlots& r) {
  // A zero step has one item, the minimum.
  if (r.step == 0.0) return 1;
  double q = (r.max - r.min) / r.step;
  if (q > std::trunc(q)) q += 1.0;
  // Bounded instead of wrapped to 32 bits, so an absurd range can neither
  // count for ever nor turn into some unrelated count.
  q = std::clamp(q, static_cast<double>(INT_MIN + 1), static_cast<double>(kMaxRangeItems - 1));
  return static_cast<int>(q) + 1;
}

int RangeCount(const ContainerHandle* h) {
  RangeSlots r;
  return ReadRangeSlots(h, r) ? RangeCountOf(r) : 0;
}

// The highest index whose item equals value, as a walk down from the last
// item would find it, without the walk: a range's items move one way with
// their index until they meet the maximum, the last item, so only the items
// beside where value falls can match.
int FindInRange(const ContainerHandle* h, double value) {
  RangeSlots r;
  if (!ReadRangeSlots(h, r)) return -1;
  const int count = RangeCountOf(r);
  if (count < 1) return -1;  // a maximum below the minimum
  const auto matches = [&](int n) { return CONTAINER_ItemValue(h, n) == value; };
  const double guess = r.step != 0.0 ? std::floor((value - r.min) / r.step) : 0.0;
  // The floor is the item itself, or the one before it when rounding falls
  // short or the value is the maximum off the step's grid.
  for (int d = 1; d >= 0; --d) {
    const double index = guess + d;
    if (index >= 0.0 && index < count && matches(static_cast<int>(index))) {
      return static_cast<int>(index);
    }
  }
  return -1;
}

// Into 0 .. count - 1; with no items that is count - 1, which callers refuse.
int ClampIndex(int n, int count) {
  return std::min(std::max(n, 0), count - 1);
}

// The 32-bit pattern of a number stored as the item type: the truncated
// value's low bytes, sign- or zero-extended; TW_FIX32 by its rule.
std::uint32_t SlotBits(int itemType, double value) {
  const ItemTypeRow* row = FindRow(itemType);
  if (!row) return 0;
  const auto whole = static_cast<std::uint64_t>(TruncateToInt64(value));
  const int unused = 64 - 8 * row->size;
  switch (row->kind) {
    case ItemKind::kSigned:
      return static_cast<std::uint32_t>(static_cast<std::int64_t>(whole << unused) >> unused);
    case ItemKind::kUnsigned:
      return static_cast<std::uint32_t>((whole << unused) >> unused);
    case ItemKind::kFix32: {
      const TW_FIX32 fix = NumberToFix32(value);
      return static_cast<std::uint16_t>(fix.Whole) | (std::uint32_t{fix.Frac} << 16);
    }
    case ItemKind::kNotNumber:
      break;
  }
  return 0;
}

// The item n of a list or the item of a one-value, for a store; null when
// the shape takes no stores, n is outside the items or the type has no size.
std::uint8_t* StoreTarget(ContainerHandle* h, int n) {
  if (!Valid(h) || h->format == TWON_RANGE) return nullptr;
  if (n < 0 || n >= CONTAINER_ItemCount(h)) return nullptr;
  const auto size = static_cast<std::size_t>(CONTAINER_ItemSize(ItemTypeOf(h)));
  if (size == 0) return nullptr;
  if (h->format == TWON_ONEVALUE) return Bytes(h, kOneValueItemAt, size);
  return Bytes(h, ListStart(h->format) + static_cast<std::size_t>(n) * size, size);
}

// The enumeration index or range value field a select writes.
struct SelectFields {
  std::size_t enumIndexAt;
  std::size_t rangeValueAt;
};
constexpr SelectFields kSelectDefault{kDefaultIndexAt, kRangeDefaultAt};
constexpr SelectFields kSelectCurrent{kCurrentIndexAt, kRangeCurrentAt};

bool SelectItem(ContainerHandle* h, int n, SelectFields fields) {
  if (!Valid(h) || n < 0 || n >= CONTAINER_ItemCount(h)) return false;
  if (h->format == TWON_ENUMERATION) {
    return Write(h, fields.enumIndexAt, static_cast<TW_UINT32>(n));
  }
  if (h->format == TWON_RANGE) {
    const std::uint32_t bits = SlotBits(ItemTypeOf(h), CONTAINER_ItemValue(h, n));
    return Write(h, fields.rangeValueAt, bits);
  }
  return false;
}

double IndexedValue(const ContainerHandle* h, std::size_t indexAt) {
  TW_UINT32 index = 0;
  if (!Read(h, indexAt, index)) return -1.0;
  const int count = CONTAINER_ItemCount(h);
  if (index >= static_cast<TW_UINT32>(std::max(count, 0))) return -1.0;
  return CONTAINER_ItemValue(h, static_cast<int>(index));
}

// CurrentValue and DefaultValue share their rules but for the fields read.
double SelectedValue(const ContainerHandle* h, SelectFields fields) {
  if (!Valid(h)) return -1.0;
  switch (h->format) {
    case TWON_ENUMERATION:
      return IndexedValue(h, fields.enumIndexAt);
    case TWON_ONEVALUE:
      return SlotOr(h, kOneValueItemAt, -1.0);
    case TWON_RANGE:
      return SlotOr(h, fields.rangeValueAt, -1.0);
    default:
      return -1.0;
  }
}

int EnumIndex(const ContainerHandle* h, std::size_t indexAt) {
  TW_UINT32 index = 0;
  if (!Valid(h) || h->format != TWON_ENUMERATION || !Read(h, indexAt, index)) return -1;
  return static_cast<int>(index);
}

double RangeField(const ContainerHandle* h, std::size_t offset) {
  if (!Valid(h) || h->format != TWON_RANGE) return -1.0;
  return SlotOr(h, offset, -1.0);
}

ContainerHandle* AttachBlock(int format, TW_HANDLE block);

template <typename Fill>
ContainerHandle* Create(int format, std::size_t bytes, int itemType, Fill fill) {
  TW_HANDLE block = bytes ? platform::MemAlloc(bytes) : nullptr;
  if (platform::MemLockGuard lock(block); lock) {
    auto* data = static_cast<std::uint8_t*>(lock.data());
    std::memset(data, 0, bytes);
    const auto type = static_cast<TW_UINT16>(itemType);
    std::memcpy(data + kItemTypeAt, &type, sizeof(type));
    fill(data);
  }
  return AttachBlock(format, block);
}

void Put32(std::uint8_t* data, std::size_t offset, std::uint32_t value) {
  std::memcpy(data + offset, &value, sizeof(value));
}

ContainerHandle* CreateList(int format, int itemType, int n) {
  if (n < 0) return nullptr;
  return Create(format, CONTAINER_BlockSize(format, itemType, n), itemType,
                [n](std::uint8_t* data) { Put32(data, kNumItemsAt, static_cast<TW_UINT32>(n)); });
}

}  // namespace

int CONTAINER_ItemSize(int itemType) {
  const ItemTypeRow* row = FindRow(itemType);
  return row ? row->size : 0;
}

std::size_t CONTAINER_BlockSize(int format, int itemType, int n) {
  const auto size = static_cast<std::uint64_t>(CONTAINER_ItemSize(itemType));
  const auto count = static_cast<std::uint64_t>(std::max(n, 0));
  std::uint64_t bytes = 0;
  switch (format) {
    case TWON_ONEVALUE:
      // Items of up to four bytes fill the record's own slot.
      return std::max<std::uint64_t>(sizeof(TW_ONEVALUE), size + kOneValueItemAt);
    case TWON_RANGE:
      return sizeof(TW_RANGE);
    // The list shapes get two bytes beyond header and items.
    case TWON_ENUMERATION:
      bytes = kEnumItemsAt + 2 + count * size;
      break;
    case TWON_ARRAY:
      bytes = kArrayItemsAt + 2 + count * size;
      break;
    default:
      return 0;
  }
  if (n < 0) return 0;
  // Too large for this address space: the allocation will fail.
  return platform::FitsAddressSpace(bytes) ? static_cast<std::size_t>(bytes) : SIZE_MAX;
}

bool ItemTypesCompatible(int a, int b) {
  if (a == b) return true;
  const ItemTypeRow* rowA = FindRow(a);
  const ItemTypeRow* rowB = FindRow(b);
  const auto isInteger = [](int type) { return type >= TWTY_INT8 && type <= TWTY_UINT32; };
  return isInteger(a) && isInteger(b) && rowA->size == rowB->size;
}

double Fix32ToNumber(TW_FIX32 value) {
  return (value.Whole * 65536.0 + value.Frac) / 65536.0;
}

TW_FIX32 NumberToFix32(double value) {
  // std::round takes halves away from zero.
  const std::int64_t v = TruncateToInt64(std::round(value * 65536.0));
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(v >> 16);
  fix.Frac = static_cast<TW_UINT16>(v & 0xFFFF);
  return fix;
}

std::int64_t TruncateToInt64(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (std::isnan(value)) return 0;
  if (value >= kLimit) return INT64_MAX;
  if (value < -kLimit) return INT64_MIN;
  return static_cast<std::int64_t>(value);
}

double ReadItemNumber(const void* item, int itemType) {
  const ItemTypeRow* row = FindRow(itemType);
  if (!item || !row || row->kind == ItemKind::kNotNumber) return 0.0;
  std::uint32_t bits = 0;
  std::memcpy(&bits, item, static_cast<std::size_t>(row->size));
  const int unused = 32 - 8 * row->size;
  switch (row->kind) {
    case ItemKind::kSigned:
      return static_cast<std::int32_t>(bits << unused) >> unused;
    case ItemKind::kUnsigned:
      return bits;
    case ItemKind::kFix32: {
      TW_FIX32 fix;
      std::memcpy(&fix, item, sizeof(fix));
      return Fix32ToNumber(fix);
    }
    case ItemKind::kNotNumber:
      break;
  }
  return 0.0;
}

namespace {

// A capability scan attaches and frees handles by the dozen; a few freed
// ones are kept for the next rather than handed back to the heap each time.
struct HandleSpares {
  static constexpr int kCapacity = 8;
  ContainerHandle* items[kCapacity] = {};
  int count = 0;
};
HandleSpares g_spares;

ContainerHandle* NewHandle() {
  // The slot is cleared, so a leak checker sees a handle that is then lost.
  if (g_spares.count > 0) return std::exchange(g_spares.items[--g_spares.count], nullptr);
  return new (std::nothrow) ContainerHandle;
}

void DeleteHandle(ContainerHandle* h) {
  if (g_spares.count < HandleSpares::kCapacity) {
    g_spares.items[g_spares.count++] = h;
  } else {
    delete h;
  }
}

ContainerHandle* AttachBlock(int format, TW_HANDLE block) {
  // The handle object comes first, so running out of memory leaves no lock.
  ContainerHandle* h = NewHandle();
  void* data = h ? platform::MemLock(block) : nullptr;
  if (data) {
    h->magic = kContainerMagic;
    h->format = format;
    h->block = block;
    h->data = data;
    h->size = platform::MemSize(block);
    return h;
  }
  if (h) {
    DeleteHandle(h);
    TWAIN_ErrorBox("DataSource bug: bad Container handle.");
    // Not ours to free: freeing a bogus handle can end the process in a way
    // no guard catches. A leak of one block is the lesser harm.
    return nullptr;
  }
  platform::MemFree(block);
  return nullptr;
}

}  // namespace

ContainerHandle* CONTAINER_Attach(int format, TW_HANDLE block) {
  ContainerHandle* h = AttachBlock(format, block);
  // A Source's answer: an observer of the calls reads it here.
  if (h) ObserveContainerRead(block, h->data, h->size);
  return h;
}

ContainerHandle* CONTAINER_CreateOneValue(int itemType, double value) {
  return Create(
      TWON_ONEVALUE, CONTAINER_BlockSize(TWON_ONEVALUE, itemType, 1), itemType,
      [&](std::uint8_t* data) { Put32(data, kOneValueItemAt, SlotBits(itemType, value)); });
}

ContainerHandle* CONTAINER_CreateEnumeration(int itemType, int n) {
  return CreateList(TWON_ENUMERATION, itemType, n);
}

ContainerHandle* CONTAINER_CreateRange(int itemType, double min, double max, double step) {
  if (!IsNumberType(itemType)) return nullptr;
  return Create(TWON_RANGE, sizeof(TW_RANGE), itemType, [&](std::uint8_t* data) {
    Put32(data, kRangeMinAt, SlotBits(itemType, min));
    Put32(data, kRangeMaxAt, SlotBits(itemType, max));
    Put32(data, kRangeStepAt, SlotBits(itemType, step));
    Put32(data, kRangeDefaultAt, SlotBits(itemType, min));
    Put32(data, kRangeCurrentAt, SlotBits(itemType, min));
  });
}

ContainerHandle* CONTAINER_CreateArray(int itemType, int n) {
  return CreateList(TWON_ARRAY, itemType, n);
}

void CONTAINER_Free(ContainerHandle* h) {
  if (!Valid(h)) return;
  h->magic = 0;
  platform::MemUnlock(h->block);
  platform::MemFree(h->block);
  DeleteHandle(h);
}

bool CONTAINER_IsValid(const ContainerHandle* h) {
  return Valid(h);
}

int CONTAINER_Format(const ContainerHandle* h) {
  return Valid(h) ? h->format : -1;
}

int CONTAINER_ItemType(const ContainerHandle* h) {
  return Valid(h) ? ItemTypeOf(h) : -1;
}

int CONTAINER_ItemCount(const ContainerHandle* h) {
  if (!Valid(h)) return -1;
  switch (h->format) {
    case TWON_ONEVALUE:
      return 1;
    case TWON_ENUMERATION:
    case TWON_ARRAY:
      return ListCount(h);
    case TWON_RANGE:
      return RangeCount(h);
    default:
      return -1;
  }
}

double CONTAINER_ItemValue(const ContainerHandle* h, int n) {
  if (!Valid(h)) return -1.0;
  switch (h->format) {
    case TWON_ONEVALUE:
      return SlotOr(h, kOneValueItemAt, -1.0);
    case TWON_ENUMERATION:
    case TWON_ARRAY: {
      // An empty list has no item to clamp to.
      const int count = ListCount(h);
      if (count <= 0) return -1.0;
      return ReadItemNumber(CONTAINER_ItemPtr(h, n), ItemTypeOf(h));
    }
    case TWON_RANGE: {
      RangeSlots r;
      if (!ReadRangeSlots(h, r)) return -1.0;
      n = ClampIndex(n, RangeCountOf(r));
      return std::min(r.min + r.step * n, r.max);
    }
    default:
      return -1.0;
  }
}

int CONTAINER_IntValue(const ContainerHandle* h, int n) {
  const std::int64_t rounded = TruncateToInt64(std::round(CONTAINER_ItemValue(h, n)));
  return static_cast<int>(std::clamp<std::int64_t>(rounded, INT_MIN, INT_MAX));
}

void* CONTAINER_ItemPtr(const ContainerHandle* h, int n) {
  if (!Valid(h)) return nullptr;
  const auto size = static_cast<std::size_t>(CONTAINER_ItemSize(ItemTypeOf(h)));
  if (size == 0) return nullptr;
  if (h->format == TWON_ONEVALUE) return Bytes(h, kOneValueItemAt, size);
  if (h->format != TWON_ENUMERATION && h->format != TWON_ARRAY) return nullptr;
  const int count = ListCount(h);
  if (count <= 0) return nullptr;
  const auto index = static_cast<std::size_t>(ClampIndex(n, count));
  return Bytes(h, ListStart(h->format) + index * size, size);
}

int CONTAINER_FindItem(const ContainerHandle* h, double value) {
  if (CONTAINER_Format(h) == TWON_RANGE) return FindInRange(h, value);
  for (int n = CONTAINER_ItemCount(h) - 1; n >= 0; --n) {
    if (CONTAINER_ItemValue(h, n) == value) return n;
  }
  return -1;
}

int CONTAINER_CurrentIndex(const ContainerHandle* h) {
  return EnumIndex(h, kCurrentIndexAt);
}

int CONTAINER_DefaultIndex(const ContainerHandle* h) {
  return EnumIndex(h, kDefaultIndexAt);
}

double CONTAINER_CurrentValue(const ContainerHandle* h) {
  return SelectedValue(h, kSelectCurrent);
}

double CONTAINER_DefaultValue(const ContainerHandle* h) {
  return SelectedValue(h, kSelectDefault);
}

double CONTAINER_RangeMin(const ContainerHandle* h) {
  return RangeField(h, kRangeMinAt);
}

double CONTAINER_RangeMax(const ContainerHandle* h) {
  return RangeField(h, kRangeMaxAt);
}

double CONTAINER_RangeStep(const ContainerHandle* h) {
  return RangeField(h, kRangeStepAt);
}

bool CONTAINER_SelectDefaultItem(ContainerHandle* h, int n) {
  return SelectItem(h, n, kSelectDefault);
}

bool CONTAINER_SelectCurrentItem(ContainerHandle* h, int n) {
  return SelectItem(h, n, kSelectCurrent);
}

bool CONTAINER_SelectDefault(ContainerHandle* h, double value) {
  const int n = CONTAINER_FindItem(h, value);
  return n >= 0 && CONTAINER_SelectDefaultItem(h, n);
}

bool CONTAINER_SelectCurrent(ContainerHandle* h, double value) {
  const int n = CONTAINER_FindItem(h, value);
  return n >= 0 && CONTAINER_SelectCurrentItem(h, n);
}

bool CONTAINER_SetItemValue(ContainerHandle* h, int n, double value) {
  std::uint8_t* item = StoreTarget(h, n);
  const int type = item ? ItemTypeOf(h) : -1;
  if (!IsNumberType(type)) return false;
  const std::uint32_t bits = SlotBits(type, value);
  std::memcpy(item, &bits, static_cast<std::size_t>(CONTAINER_ItemSize(type)));
  return true;
}

bool CONTAINER_SetItemText(ContainerHandle* h, int n, const char* text) {
  std::uint8_t* item = StoreTarget(h, n);
  if (!item) return false;
  const auto size = static_cast<std::size_t>(CONTAINER_ItemSize(ItemTypeOf(h)));
  // A string item always keeps its terminating zero, so a reader that
  // trusts it stays inside the item.
  const std::size_t room = IsStringType(ItemTypeOf(h)) ? size - 1 : size;
  const std::size_t length = text ? strnlen(text, room) : 0;
  std::memset(item, 0, size);
  if (length) std::memcpy(item, text, length);
  return true;
}

bool CONTAINER_SetItemFrame(ContainerHandle* h, int n, double left, double top, double right,
                            double bottom) {
  if (CONTAINER_ItemType(h) != TWTY_FRAME) return false;
  std::uint8_t* item = StoreTarget(h, n);
  if (!item) return false;
  const TW_FRAME frame{NumberToFix32(left), NumberToFix32(top), NumberToFix32(right),
                       NumberToFix32(bottom)};
  std::memcpy(item, &frame, sizeof(frame));
  return true;
}
