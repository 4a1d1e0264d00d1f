#include "caps/container.h"

#include <gtest/gtest.h>

#include <climits>

#include "platform/host/host_platform.h"
#include "platform/message_box.h"
#include "source_block.h"

namespace {

using platform::host::GetMemoryStats;

// Frees the handle at the end of a test, whatever it asserted.
struct Owned {
  ContainerHandle* h;
  explicit Owned(ContainerHandle* handle) : h(handle) {}
  ~Owned() { CONTAINER_Free(h); }
  ContainerHandle* operator->() const { return h; }
  operator ContainerHandle*() const { return h; }
};

std::vector<double> Values(const ContainerHandle* h) {
  std::vector<double> values;
  for (int n = 0; n < CONTAINER_ItemCount(h); ++n) values.push_back(CONTAINER_ItemValue(h, n));
  return values;
}

std::vector<std::uint8_t> Slice(const ContainerHandle* h, std::size_t from, std::size_t to) {
  const std::vector<std::uint8_t> bytes = BlockBytes(h);
  return std::vector<std::uint8_t>(bytes.begin() + from, bytes.begin() + to);
}

TEST(ContainerTest, SizesAndFix32Conversions) {
  EXPECT_EQ(CONTAINER_BlockSize(TWON_ONEVALUE, TWTY_INT8, 0), 6u);
  EXPECT_EQ(CONTAINER_BlockSize(TWON_ONEVALUE, TWTY_STR32, 0), 36u);
  EXPECT_EQ(CONTAINER_BlockSize(TWON_ENUMERATION, TWTY_FRAME, 3), 64u);
  EXPECT_EQ(CONTAINER_BlockSize(TWON_ARRAY, TWTY_STR255, 2), 520u);
  EXPECT_EQ(CONTAINER_BlockSize(TWON_RANGE, TWTY_INT32, 99), 22u);
  EXPECT_EQ(CONTAINER_BlockSize(7, TWTY_INT32, 1), 0u);
  EXPECT_EQ(CONTAINER_ItemSize(TWTY_STR255), 256);
  EXPECT_EQ(CONTAINER_ItemSize(TWTY_STR255 + 1), 0) << "the first code past the table";
  EXPECT_EQ(CONTAINER_ItemSize(-1), 0);
  // Items read as numbers: nothing, or no number type, reads as 0.
  const std::uint8_t item[4] = {0xFE, 0xFF, 0, 0};
  EXPECT_EQ(ReadItemNumber(item, TWTY_INT16), -2);
  EXPECT_EQ(ReadItemNumber(nullptr, TWTY_INT16), 0);
  EXPECT_EQ(ReadItemNumber(item, TWTY_FRAME), 0);
  EXPECT_EQ(ReadItemNumber(item, TWTY_STR255 + 1), 0);
  // Integers of one width copy into each other; nothing else does.
  EXPECT_TRUE(ItemTypesCompatible(TWTY_INT16, TWTY_UINT16));
  EXPECT_TRUE(ItemTypesCompatible(TWTY_FRAME, TWTY_FRAME));
  EXPECT_FALSE(ItemTypesCompatible(TWTY_INT32, TWTY_FIX32));
  EXPECT_FALSE(ItemTypesCompatible(TWTY_UINT16, TWTY_BOOL));
  EXPECT_FALSE(ItemTypesCompatible(TWTY_INT8, TWTY_INT16));

  // Halves of the last fraction bit go away from zero, both signs.
  const struct {
    double number;
    TW_INT16 whole;
    TW_UINT16 frac;
  } cases[] = {{-1.5, -2, 32768},  {1.0 / 131072, 0, 1}, {-1.0 / 131072, -1, 65535},
               {-0.25, -1, 49152}, {3.0 / 131072, 0, 2}, {32767.99999, 32767, 65535}};
  for (const auto& c : cases) {
    const TW_FIX32 fix = NumberToFix32(c.number);
    EXPECT_EQ(fix.Whole, c.whole) << c.number;
    EXPECT_EQ(fix.Frac, c.frac) << c.number;
  }
  EXPECT_EQ(Fix32ToNumber(NumberToFix32(-123.375)), -123.375);
  // Values no integer holds convert without an undefined cast.
  EXPECT_EQ(TruncateToInt64(__builtin_nan("")), 0);
  EXPECT_EQ(TruncateToInt64(-1e300), INT64_MIN);
  EXPECT_EQ(TruncateToInt64(9223372036854775808.0), INT64_MAX);
}

TEST(ContainerTest, OneValueStoresLowBytesExtendedIntoItsSlot) {
  const struct {
    int type;
    double value;
    std::vector<std::uint8_t> bytes;
    double readBack;
  } cases[] = {
      {TWTY_INT8, -1, {0, 0, 0xff, 0xff, 0xff, 0xff}, -1},
      {TWTY_UINT8, 300, {3, 0, 44, 0, 0, 0}, 44},
      {TWTY_UINT16, -1, {4, 0, 0xff, 0xff, 0, 0}, 65535},
      {TWTY_INT16, -3.9, {1, 0, 0xfd, 0xff, 0xff, 0xff}, -3},
      {TWTY_FIX32, -1.5, {7, 0, 0xfe, 0xff, 0x00, 0x80}, -1.5},
      {TWTY_UINT32, 1e300, {5, 0, 0xff, 0xff, 0xff, 0xff}, 4294967295.0},
  };
  for (const auto& c : cases) {
    Owned h(CONTAINER_CreateOneValue(c.type, c.value));
    EXPECT_EQ(BlockBytes(h), c.bytes) << c.type;
    EXPECT_EQ(CONTAINER_ItemValue(h, 5), c.readBack) << c.type;
    EXPECT_EQ(CONTAINER_CurrentValue(h), c.readBack);
  }
  Owned wide(CONTAINER_CreateOneValue(TWTY_STR32, 7));
  EXPECT_EQ(wide->size, 36u);
  EXPECT_EQ(CONTAINER_ItemValue(wide, 0), 0.0);
}

TEST(ContainerTest, RangesCountClampAndSelect) {
  const struct {
    int type;
    double min, max, step;
    int count;
  } cases[] = {
      {TWTY_FIX32, 0, 10, 2.5, 5},
      {TWTY_INT32, 0, 10, 2, 6},
      {TWTY_INT32, 0, 10, 3, 5},
      {TWTY_INT32, 0, 10, 0, 1},   // a zero step has one item
      {TWTY_INT32, 10, 0, 5, -1},  // max below min
      {TWTY_UINT32, 0, 4294967295.0, 1, kMaxRangeItems},
      {TWTY_INT32, 2147483647.0, -2147483647.0, 1, INT_MIN + 2},  // no wrap to a positive count
  };
  for (const auto& c : cases) {
    Owned h(CONTAINER_CreateRange(c.type, c.min, c.max, c.step));
    EXPECT_EQ(CONTAINER_ItemCount(h), c.count) << c.min << " to " << c.max << " step " << c.step;
    // The minimum is the first item; a range with no items finds nothing.
    EXPECT_EQ(CONTAINER_FindItem(h, c.min), c.count < 1 ? -1 : 0) << c.min;
  }
  Owned thirds(CONTAINER_CreateRange(TWTY_INT32, 0, 10, 3));
  EXPECT_EQ(Values(thirds), (std::vector<double>{0, 3, 6, 9, 10}));
  EXPECT_EQ(CONTAINER_ItemValue(thirds, 50), 10);

  Owned h(CONTAINER_CreateRange(TWTY_UINT16, 10, 100, 10));
  EXPECT_EQ(CONTAINER_ItemCount(h), 10);
  EXPECT_EQ(CONTAINER_DefaultValue(h), 10);
  EXPECT_FALSE(CONTAINER_SelectCurrent(h, 55));
  EXPECT_EQ(CONTAINER_CurrentValue(h), 10);
  EXPECT_TRUE(CONTAINER_SelectCurrent(h, 50));
  EXPECT_EQ(CONTAINER_CurrentValue(h), 50);
  EXPECT_FALSE(CONTAINER_SelectDefaultItem(h, 10));
  EXPECT_FALSE(CONTAINER_SetItemValue(h, 0, 20));
  EXPECT_EQ(CONTAINER_CreateRange(TWTY_FRAME, 0, 1, 1), nullptr);
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
  // Only a range has range fields.
  Owned one(CONTAINER_CreateOneValue(TWTY_UINT32, 5));
  EXPECT_EQ(CONTAINER_RangeMin(one), -1.0);
  EXPECT_EQ(CONTAINER_RangeMax(one), -1.0);
}

// A range is searched without walking its items; the answer must be the one
// a walk down from the last item gives.
TEST(ContainerTest, RangeSearchAgreesWithAWalk) {
  const struct {
    int type;
    double min, max, step;
  } cases[] = {{TWTY_INT32, 0, 10, 3},
               {TWTY_INT32, 10, -20, -4},
               {TWTY_INT32, -5, 5, -1},
               {TWTY_FIX32, 0.5, 7.25, 0.75},
               {TWTY_FIX32, 3, -3, -0.125},
               {TWTY_INT16, 20, 10, 5},
               {TWTY_UINT32, 4000000000.0, 4000000100.0, 7},
               // Steps no binary fraction holds: rounding on either side.
               {TWTY_FIX32, 0.1, 1, 0.1},
               {TWTY_FIX32, -1, 1, 1.0 / 3},
               {TWTY_FIX32, 7.3, 345.6, 0.7}};
  for (const auto& c : cases) {
    Owned h(CONTAINER_CreateRange(c.type, c.min, c.max, c.step));
    std::vector<double> probes = {c.min, c.max, c.min - c.step, __builtin_nan("")};
    for (double v : Values(h)) probes.insert(probes.end(), {v, v + 0.5});
    for (double value : probes) {
      int walked = -1;
      for (int n = CONTAINER_ItemCount(h) - 1; n >= 0 && walked < 0; --n) {
        if (CONTAINER_ItemValue(h, n) == value) walked = n;
      }
      EXPECT_EQ(CONTAINER_FindItem(h, value), walked)
          << c.min << " step " << c.step << ": " << value;
    }
  }
}

TEST(ContainerTest, ListsFindSelectAndStoreInTheirItems) {
  Owned h(CONTAINER_CreateEnumeration(TWTY_UINT16, 3));
  for (int n = 0; n < 3; ++n) EXPECT_TRUE(CONTAINER_SetItemValue(h, n, n == 1 ? 7 : 5));
  EXPECT_EQ(CONTAINER_FindItem(h, 5), 2);
  EXPECT_TRUE(CONTAINER_SetItemValue(h, 2, 9));
  EXPECT_EQ(CONTAINER_FindItem(h, 5), 0) << "the first item is searched too";
  EXPECT_TRUE(CONTAINER_SelectDefault(h, 5));
  EXPECT_EQ(CONTAINER_DefaultIndex(h), 0);
  EXPECT_TRUE(CONTAINER_SelectCurrent(h, 5));
  EXPECT_EQ(CONTAINER_CurrentIndex(h), 0);
  EXPECT_TRUE(CONTAINER_SetItemValue(h, 2, 5));
  EXPECT_TRUE(CONTAINER_SelectCurrent(h, 7));
  EXPECT_TRUE(CONTAINER_SelectDefaultItem(h, 2));
  EXPECT_FALSE(CONTAINER_SelectDefaultItem(h, 3));
  EXPECT_TRUE(CONTAINER_SetItemValue(h, 0, 70000));
  EXPECT_FALSE(CONTAINER_SetItemValue(h, 3, 1));
  EXPECT_EQ(BlockBytes(h), (std::vector<std::uint8_t>{4, 0, 3, 0,    0,    0, 1, 0, 0, 0, 2,
                                                      0, 0, 0, 0x70, 0x11, 7, 0, 5, 0, 0, 0}));

  Owned fix(CONTAINER_CreateArray(TWTY_FIX32, 2));
  CONTAINER_SetItemValue(fix, 0, 2.5);
  CONTAINER_SetItemValue(fix, 1, -0.5);
  EXPECT_EQ(CONTAINER_IntValue(fix, 0), 3);
  EXPECT_EQ(CONTAINER_IntValue(fix, 1), -1);
  EXPECT_FALSE(CONTAINER_SelectCurrentItem(fix, 0));
  EXPECT_EQ(CONTAINER_CurrentIndex(fix), -1) << "an array has no current item";
  EXPECT_EQ(CONTAINER_DefaultIndex(fix), -1);

  Owned frames(CONTAINER_CreateEnumeration(TWTY_FRAME, 3));
  EXPECT_TRUE(CONTAINER_SetItemFrame(frames, 2, 0, 0, 8.5, -1.5));
  EXPECT_EQ(Slice(frames, 46, 62), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0x80,
                                                              0xfe, 0xff, 0, 0x80}));
  EXPECT_EQ(Slice(frames, 14, 46), std::vector<std::uint8_t>(32, 0));
  EXPECT_FALSE(CONTAINER_SetItemValue(frames, 0, 1));
  EXPECT_FALSE(CONTAINER_SetItemFrame(fix, 0, 0, 0, 0, 0));

  // A string item keeps its terminating zero, however long the text.
  Owned texts(CONTAINER_CreateArray(TWTY_STR32, 2));
  EXPECT_TRUE(CONTAINER_SetItemText(texts, 0, std::string(40, 'x').c_str()));
  EXPECT_TRUE(CONTAINER_SetItemText(texts, 1, "Acme"));
  const auto* items = static_cast<const char*>(CONTAINER_ItemPtr(texts, 0));
  EXPECT_EQ(std::string(items), std::string(33, 'x'));
  EXPECT_EQ(std::string(items + 34), "Acme");
  EXPECT_TRUE(CONTAINER_SetItemText(texts, 1, "Ab"));
  EXPECT_EQ(std::string(items + 34), "Ab") << "a shorter text leaves nothing of the longer";
  EXPECT_EQ(CONTAINER_ItemPtr(texts, 9), items + 34);

  Owned empty(CONTAINER_CreateEnumeration(TWTY_STR255, 0));
  EXPECT_EQ(CONTAINER_ItemPtr(empty, 0), nullptr);
  EXPECT_EQ(CONTAINER_ItemValue(empty, 0), -1.0);
}

TEST(ContainerTest, BadHandlesAndBlocks) {
  ContainerHandle forged;
  forged.magic = 0x12345678;
  for (ContainerHandle* h : {static_cast<ContainerHandle*>(nullptr), &forged}) {
    EXPECT_EQ(CONTAINER_Format(h), -1);
    EXPECT_EQ(CONTAINER_ItemCount(h), -1);
    EXPECT_EQ(CONTAINER_ItemValue(h, 0), -1.0);
    EXPECT_EQ(CONTAINER_ItemPtr(h, 0), nullptr);
    EXPECT_FALSE(CONTAINER_SetItemText(h, 0, "x"));
    CONTAINER_Free(h);
  }
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());

  platform::host::FailAllocations(1);
  EXPECT_EQ(CONTAINER_CreateEnumeration(TWTY_UINT16, 2), nullptr);
  int foreign = 0;
  EXPECT_EQ(CONTAINER_Attach(TWON_ONEVALUE, &foreign), nullptr);
  const auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "DataSource bug: bad Container handle.");
  EXPECT_EQ(boxes[1].caption, "TWAIN Error");
}

TEST(ContainerTest, HandlesHoldOneLockUntilFreed) {
  std::vector<ContainerHandle*> handles = {
      CONTAINER_CreateOneValue(TWTY_UINT16, 1), CONTAINER_CreateEnumeration(TWTY_STR64, 4),
      CONTAINER_CreateRange(TWTY_FIX32, 0, 1, 0.25), CONTAINER_CreateArray(TWTY_FRAME, 2)};
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 4);
  for (ContainerHandle* h : handles) {
    CONTAINER_SelectCurrent(h, 0.5);
    CONTAINER_SetItemText(h, 1, "abc");
    EXPECT_EQ(platform::host::LockCount(h->block), 1);
  }
  for (ContainerHandle* h : handles) CONTAINER_Free(h);
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

// Freed handles are kept for reuse; many alive at once, freed and made
// again, must each stay distinct, valid and free their own block once.
TEST(ContainerTest, ManyHandlesComeAndGoWithoutSharingState) {
  for (int round = 0; round < 3; ++round) {
    std::vector<ContainerHandle*> handles;
    for (int i = 0; i < 20; ++i) handles.push_back(CONTAINER_CreateOneValue(TWTY_UINT16, i));
    for (int i = 0; i < 20; ++i) {
      ASSERT_TRUE(CONTAINER_IsValid(handles[i]));
      EXPECT_EQ(CONTAINER_ItemValue(handles[i], 0), i);
    }
    EXPECT_EQ(GetMemoryStats().liveBlocks, 20);
    for (ContainerHandle* h : handles) CONTAINER_Free(h);
    EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
    EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
  }
}

// What a Source hands over is read within its block, whatever it declares.
TEST(ContainerTest, SourceBlocksAreReadWithinTheirSize) {
  // Declares 1000 items but holds two and a half.
  Owned many(AttachBytes(TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(1000).U16(9).U16(8).U8(7)));
  EXPECT_EQ(Values(many), (std::vector<double>{9, 8}));
  EXPECT_EQ(CONTAINER_ItemValue(many, 999), 8);
  // Holds three but declares two: items past the count are the last one.
  Owned extra(AttachBytes(TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(2).U16(9).U16(8).U16(7)));
  EXPECT_EQ(CONTAINER_ItemValue(extra, 2), 8);
  EXPECT_EQ(CONTAINER_ItemValue(extra, 3), 8);
  EXPECT_FALSE(CONTAINER_SetItemValue(many, 2, 1));

  Owned current(
      AttachBytes(TWON_ENUMERATION, LeBytes().U16(TWTY_UINT16).U32(2).U32(2).U32(7).U16(1).U16(2)));
  EXPECT_EQ(CONTAINER_CurrentValue(current), -1.0);
  EXPECT_EQ(CONTAINER_DefaultValue(current), -1.0);

  // An empty list has no item, whatever its block holds past the header.
  Owned empty(AttachBytes(TWON_ARRAY, LeBytes().U16(TWTY_UINT16).U32(0).U16(7).U16(7)));
  EXPECT_EQ(CONTAINER_ItemPtr(empty, 0), nullptr);

  // Item types without an item size give no item access.
  Owned unknown(AttachBytes(TWON_ENUMERATION, LeBytes().U16(13).U32(2).U32(0).U32(0).U32(1)));
  EXPECT_EQ(CONTAINER_ItemCount(unknown), 0);
  EXPECT_EQ(CONTAINER_ItemPtr(unknown, 0), nullptr);
  Owned unknownOne(AttachBytes(TWON_ONEVALUE, LeBytes().U16(0x400).U32(5)));
  EXPECT_EQ(CONTAINER_ItemPtr(unknownOne, 0), nullptr);
  EXPECT_FALSE(CONTAINER_SetItemText(unknownOne, 0, "x"));

  // Blocks shorter than their shape's header.
  Owned shortRange(AttachBytes(TWON_RANGE, LeBytes().U16(TWTY_UINT32).U32(1).U32(9)));
  EXPECT_EQ(CONTAINER_RangeMin(shortRange), 1);
  EXPECT_EQ(CONTAINER_RangeStep(shortRange), -1.0);
  EXPECT_EQ(CONTAINER_ItemCount(shortRange), 0);
  EXPECT_FALSE(CONTAINER_SelectCurrentItem(shortRange, 0));
  Owned tiny(AttachBytes(TWON_ONEVALUE, LeBytes().U8(4)));
  EXPECT_EQ(CONTAINER_ItemType(tiny), -1);
  EXPECT_EQ(CONTAINER_ItemPtr(tiny, 0), nullptr);

  // A block that cannot be locked is reported and left alone: it may be bogus.
  platform::MemoryHandle unlockable = platform::MemAlloc(6);
  platform::host::FailLocks(1);
  EXPECT_EQ(CONTAINER_Attach(TWON_ONEVALUE, unlockable), nullptr);
  EXPECT_TRUE(platform::host::IsLiveBlock(unlockable));
  platform::MemFree(unlockable);
  const auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "DataSource bug: bad Container handle.");
}

}  // namespace
