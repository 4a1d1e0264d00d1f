// Capability negotiation of the Sample Source: the container shapes it
// answers with, what it takes, rounds and refuses, and how settings hang
// together.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/host/host_platform.h"
#include "sample_source/capability_table.h"
#include "tests/host/sample_source_harness.h"

namespace {

using sample::Bytes;
using sample_test::Answer;
using sample_test::Harness;

struct Shape {
  TW_UINT16 cap;
  TW_UINT16 conType;
  TW_UINT16 itemType;
};

// What a flatbed of this kind answers to MSG_GET, capability by capability.
constexpr Shape kShapes[] = {
    {CAP_SUPPORTEDCAPS, TWON_ARRAY, TWTY_UINT16},
    {CAP_XFERCOUNT, TWON_ONEVALUE, TWTY_INT16},
    {CAP_UICONTROLLABLE, TWON_ONEVALUE, TWTY_BOOL},
    {CAP_DEVICEONLINE, TWON_ONEVALUE, TWTY_BOOL},
    {CAP_INDICATORS, TWON_ONEVALUE, TWTY_BOOL},
    {CAP_FEEDERENABLED, TWON_ONEVALUE, TWTY_BOOL},
    {CAP_AUTHOR, TWON_ONEVALUE, TWTY_STR128},
    {ICAP_XFERMECH, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_PIXELTYPE, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_BITDEPTH, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_UNITS, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_XRESOLUTION, TWON_ENUMERATION, TWTY_FIX32},
    {ICAP_YRESOLUTION, TWON_RANGE, TWTY_FIX32},
    {ICAP_PHYSICALWIDTH, TWON_ONEVALUE, TWTY_FIX32},
    {ICAP_PHYSICALHEIGHT, TWON_ONEVALUE, TWTY_FIX32},
    {ICAP_BRIGHTNESS, TWON_RANGE, TWTY_FIX32},
    {ICAP_CONTRAST, TWON_RANGE, TWTY_FIX32},
    {ICAP_COMPRESSION, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_IMAGEFILEFORMAT, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_SUPPORTEDSIZES, TWON_ENUMERATION, TWTY_UINT16},
    {ICAP_FRAMES, TWON_ENUMERATION, TWTY_FRAME},
    {sample::kCapLampWarmup, TWON_RANGE, TWTY_INT32},
    {sample::kCapToneCurve, TWON_ARRAY, TWTY_UINT16},
};

// The block holds exactly what its header says.
std::size_t ExpectedSize(const Answer& a) {
  const std::size_t item = sample::ItemSize(a.ItemType());
  switch (a.conType) {
    case TWON_ONEVALUE:
      return 2 + std::max<std::size_t>(4, item);
    case TWON_RANGE:
      return sizeof(TW_RANGE);
    case TWON_ARRAY:
      return sizeof(TW_ARRAY) + a.At<TW_UINT32>(2) * item;
    default:
      return sizeof(TW_ENUMERATION) + a.At<TW_UINT32>(2) * item;
  }
}

class SampleCapabilityTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(h.Open(), TWRC_SUCCESS); }
  void TearDown() override { EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0); }
  Harness h;
};

TEST_F(SampleCapabilityTest, EveryCapabilityAnswersInTheShapeOfARealScanner) {
  std::vector<TW_UINT16> listed;
  const Answer supported = h.Get(MSG_GET, CAP_SUPPORTEDCAPS);
  for (TW_UINT32 i = 0; i < supported.At<TW_UINT32>(2); ++i) {
    listed.push_back(supported.At<TW_UINT16>(6 + 2 * i));
  }
  std::vector<TW_UINT16> expected;
  for (const Shape& shape : kShapes) {
    SCOPED_TRACE(shape.cap);
    expected.push_back(shape.cap);
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
      const Answer a = h.Get(msg, shape.cap);
      ASSERT_EQ(a.rc, TWRC_SUCCESS);
      const bool whole = msg == MSG_GET || shape.conType == TWON_ARRAY;
      EXPECT_EQ(a.conType, whole ? shape.conType : TWON_ONEVALUE);
      EXPECT_EQ(a.ItemType(), shape.itemType);
      EXPECT_EQ(a.bytes.size(), ExpectedSize(a));
    }
  }
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
}

TEST_F(SampleCapabilityTest, MissingCapabilitiesSayWhetherTheCodeIsKnown) {
  EXPECT_EQ(h.Get(MSG_GET, CAP_DUPLEX).rc, TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(h.Get(MSG_GET, sample::kCapLampWarmup + 1).rc, TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(h.Get(MSG_GET, 0x0555).rc, TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADCAP);
}

struct SetCase {
  TW_UINT16 cap;
  TW_UINT16 itemType;
  double value;
  TW_UINT16 rc;
  TW_UINT16 cc;
  double after;  // the current value afterwards
};

TEST_F(SampleCapabilityTest, SetTakesOfferedValuesRoundsNearOnesAndRefusesTheRest) {
  const SetCase cases[] = {
      {ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY, TWRC_SUCCESS, TWCC_SUCCESS, TWPT_GRAY},
      {ICAP_PIXELTYPE, TWTY_UINT16, 7, TWRC_FAILURE, TWCC_BADVALUE, TWPT_GRAY},
      {ICAP_PIXELTYPE, TWTY_INT16, TWPT_RGB, TWRC_SUCCESS, TWCC_SUCCESS, TWPT_RGB},
      {ICAP_PIXELTYPE, TWTY_FIX32, TWPT_GRAY, TWRC_FAILURE, TWCC_BADVALUE, TWPT_RGB},
      {ICAP_BITDEPTH, TWTY_UINT16, 8, TWRC_FAILURE, TWCC_BADVALUE, 24},
      {ICAP_XRESOLUTION, TWTY_FIX32, 149, TWRC_CHECKSTATUS, TWCC_SUCCESS, 150},
      {ICAP_XRESOLUTION, TWTY_FIX32, 9000, TWRC_CHECKSTATUS, TWCC_SUCCESS, 600},
      {ICAP_XRESOLUTION, TWTY_FIX32, -5, TWRC_FAILURE, TWCC_BADVALUE, 600},
      {ICAP_YRESOLUTION, TWTY_FIX32, 123.4, TWRC_CHECKSTATUS, TWCC_SUCCESS, 123},
      {ICAP_YRESOLUTION, TWTY_FIX32, 240, TWRC_SUCCESS, TWCC_SUCCESS, 240},
      {ICAP_YRESOLUTION, TWTY_FIX32, 700, TWRC_FAILURE, TWCC_BADVALUE, 240},
      {ICAP_BRIGHTNESS, TWTY_FIX32, 15, TWRC_CHECKSTATUS, TWCC_SUCCESS, 20},
      {ICAP_BRIGHTNESS, TWTY_FIX32, -1000, TWRC_SUCCESS, TWCC_SUCCESS, -1000},
      {ICAP_CONTRAST, TWTY_FIX32, 1001, TWRC_FAILURE, TWCC_BADVALUE, 0},
      {CAP_XFERCOUNT, TWTY_INT16, 0, TWRC_FAILURE, TWCC_BADVALUE, -1},
      {CAP_XFERCOUNT, TWTY_INT16, 5, TWRC_SUCCESS, TWCC_SUCCESS, 5},
      {CAP_FEEDERENABLED, TWTY_BOOL, 2, TWRC_FAILURE, TWCC_BADVALUE, 0},
      {CAP_UICONTROLLABLE, TWTY_BOOL, 0, TWRC_FAILURE, TWCC_CAPBADOPERATION, 1},
      {ICAP_PHYSICALWIDTH, TWTY_FIX32, 4, TWRC_FAILURE, TWCC_CAPBADOPERATION, 8.5},
      {sample::kCapLampWarmup, TWTY_INT32, 12, TWRC_CHECKSTATUS, TWCC_SUCCESS, 10},
      {ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS + 1, TWRC_FAILURE, TWCC_BADVALUE, TWUN_INCHES},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "cap " << c.cap << " value " << c.value);
    EXPECT_EQ(h.SetOne(c.cap, c.itemType, c.value), c.rc);
    EXPECT_EQ(h.Condition(), c.cc);
    EXPECT_NEAR(h.Current(c.cap), c.after, 1e-4);
  }
}

TEST_F(SampleCapabilityTest, ListsAndRangesAreTakenAtTheirCurrentValueWithCheckStatus) {
  // An enumeration of two pixel types, current index 1 (gray).
  Bytes enumeration = {TWTY_UINT16, 0, 2, 0, 0, 0,       1, 0,         0,
                       0,           0, 0, 0, 0, TWPT_BW, 0, TWPT_GRAY, 0};
  EXPECT_EQ(h.Set(ICAP_PIXELTYPE, TWON_ENUMERATION, enumeration), TWRC_CHECKSTATUS);
  EXPECT_EQ(h.Current(ICAP_PIXELTYPE), TWPT_GRAY);
  enumeration[6] = 2;  // CurrentIndex beyond the items
  EXPECT_EQ(h.Set(ICAP_PIXELTYPE, TWON_ENUMERATION, enumeration), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
  // A range's CurrentValue, here a brightness of 100.
  TW_RANGE range{TWTY_FIX32, 0, 0, 0, 0, 0};
  TW_FIX32 hundred = sample::ToFix32(100);
  std::memcpy(&range.CurrentValue, &hundred, sizeof(hundred));
  Bytes bytes(sizeof(range));
  std::memcpy(bytes.data(), &range, sizeof(range));
  EXPECT_EQ(h.Set(ICAP_BRIGHTNESS, TWON_RANGE, bytes), TWRC_CHECKSTATUS);
  EXPECT_EQ(h.Current(ICAP_BRIGHTNESS), 100);
}

TEST_F(SampleCapabilityTest, ContainersClaimingMoreThanTheirBlockAreRefused) {
  // NumItems 1000, block of the header and two items.
  const Bytes enumeration = {TWTY_UINT16, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(h.Set(ICAP_PIXELTYPE, TWON_ENUMERATION, enumeration), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
  const Bytes array = {TWTY_UINT16, 0, 5, 0, 0, 0, 0, 0, 10, 0};
  EXPECT_EQ(h.Set(sample::kCapToneCurve, TWON_ARRAY, array), TWRC_FAILURE);
  // A 130-byte string item in a six-byte block.
  const Bytes text = {TWTY_STR128, 0, 'A', 'd', 'a', 0};
  EXPECT_EQ(h.Set(CAP_AUTHOR, TWON_ONEVALUE, text), TWRC_FAILURE);
  EXPECT_EQ(h.Set(CAP_AUTHOR, 99, text), TWRC_FAILURE);
  TW_CAPABILITY noBlock{ICAP_UNITS, TWON_ONEVALUE, nullptr};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &noBlock), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
}

TEST_F(SampleCapabilityTest, ResolutionsAndLengthsFollowTheUnits) {
  ASSERT_EQ(h.SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS), TWRC_SUCCESS);
  EXPECT_NEAR(h.Current(ICAP_XRESOLUTION), 100 / 2.54, 1e-4);
  EXPECT_NEAR(h.Current(ICAP_PHYSICALWIDTH), 8.5 * 2.54, 1e-4);
  // 300 dots per inch asked for in dots per centimetre is taken exactly.
  EXPECT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 300 / 2.54), TWRC_SUCCESS);
  EXPECT_EQ(h.source().settings().xDpi, 300);
  const Answer range = h.Get(MSG_GET, ICAP_YRESOLUTION);
  EXPECT_NEAR(sample::FromFix32(range.At<TW_FIX32>(6)), 600 / 2.54, 1e-4);  // MaxValue
  ASSERT_EQ(h.SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS), TWRC_SUCCESS);
  EXPECT_NEAR(h.Current(ICAP_PHYSICALHEIGHT), 14 * 100, 1e-4);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(layout.Frame.Right.Whole, 8.5 * 300);
  EXPECT_EQ(layout.Frame.Bottom.Whole, 1100);
}

TEST_F(SampleCapabilityTest, PixelTypeBringsItsBitDepthAndFileFormatAlong) {
  ASSERT_EQ(h.SetOne(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWFF_JFIF), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
  EXPECT_EQ(h.Current(ICAP_BITDEPTH), 8);
  EXPECT_EQ(h.Current(ICAP_IMAGEFILEFORMAT), TWFF_JFIF);
  ASSERT_EQ(h.SetOne(ICAP_BITDEPTH, TWTY_UINT16, 4), TWRC_SUCCESS);
  EXPECT_EQ(h.Current(ICAP_IMAGEFILEFORMAT), TWFF_BMP);  // JFIF has no 4-bit gray
  EXPECT_EQ(h.Get(MSG_GET, ICAP_IMAGEFILEFORMAT).At<TW_UINT32>(2), 1u);
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
  EXPECT_EQ(h.Current(ICAP_BITDEPTH), 1);
  EXPECT_EQ(h.SetOne(ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWFF_JFIF), TWRC_FAILURE);
}

TEST_F(SampleCapabilityTest, ResetGoesBackToTheDefaultAndAnswersWithIt) {
  ASSERT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 300), TWRC_SUCCESS);
  TW_CAPABILITY record{ICAP_XRESOLUTION, TWON_DONTCARE16, nullptr};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &record), TWRC_SUCCESS);
  EXPECT_EQ(record.ConType, TWON_ONEVALUE);
  {
    platform::MemLockGuard lock(record.hContainer);
    TW_FIX32 value;
    std::memcpy(&value, static_cast<std::uint8_t*>(lock.data()) + 2, sizeof(value));
    EXPECT_EQ(sample::FromFix32(value), 100);
  }
  platform::MemFree(record.hContainer);
  EXPECT_EQ(h.Current(ICAP_XRESOLUTION), 100);
  TW_CAPABILITY readOnly{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &readOnly), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_CAPBADOPERATION);
}

Bytes TextOneValue(TW_UINT16 itemType, const std::string& text) {
  Bytes bytes = {static_cast<std::uint8_t>(itemType), 0};
  const Bytes item = sample::EncodeText(itemType, text.c_str());
  bytes.insert(bytes.end(), item.begin(), item.end());
  return bytes;
}

TEST_F(SampleCapabilityTest, TextFramesSizesAndArrays) {
  EXPECT_EQ(h.Set(CAP_AUTHOR, TWON_ONEVALUE, TextOneValue(TWTY_STR32, "Ada")), TWRC_SUCCESS);
  const Answer author = h.Get(MSG_GETCURRENT, CAP_AUTHOR);
  EXPECT_STREQ(reinterpret_cast<const char*>(author.bytes.data() + 2), "Ada");
  EXPECT_EQ(h.Set(CAP_AUTHOR, TWON_ONEVALUE, TextOneValue(TWTY_STR255, std::string(200, 'x'))),
            TWRC_CHECKSTATUS);
  EXPECT_EQ(h.source().settings().author, std::string(128, 'x'));

  ASSERT_EQ(h.SetOne(ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_A4), TWRC_SUCCESS);
  EXPECT_NEAR(h.source().settings().frame.bottom, 297 / 25.4, 1e-9);
  // A frame reaching past the glass is clipped to it.
  Bytes frame = {TWTY_FRAME, 0};
  const TW_FRAME wanted{sample::ToFix32(1), sample::ToFix32(1), sample::ToFix32(9),
                        sample::ToFix32(5)};
  const Bytes item = sample::EncodeFrame(wanted);
  frame.insert(frame.end(), item.begin(), item.end());
  EXPECT_EQ(h.Set(ICAP_FRAMES, TWON_ONEVALUE, frame), TWRC_CHECKSTATUS);
  EXPECT_EQ(h.source().settings().frame.right, 8.5);
  EXPECT_EQ(h.Current(ICAP_SUPPORTEDSIZES), TWSS_NONE);

  const Bytes curve = {TWTY_UINT16, 0, 3, 0, 0, 0, 0, 0, 100, 0, 255, 0};
  EXPECT_EQ(h.Set(sample::kCapToneCurve, TWON_ARRAY, curve), TWRC_SUCCESS);
  EXPECT_EQ(h.Get(MSG_GETCURRENT, sample::kCapToneCurve).bytes, curve);
  const Bytes tooHigh = {TWTY_UINT16, 0, 2, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(h.Set(sample::kCapToneCurve, TWON_ARRAY, tooHigh), TWRC_FAILURE);
  const Bytes onePoint = {TWTY_UINT16, 0, 1, 0, 0, 0, 9, 0};
  EXPECT_EQ(h.Set(sample::kCapToneCurve, TWON_ARRAY, onePoint), TWRC_FAILURE);
  EXPECT_EQ(h.Get(MSG_GETDEFAULT, sample::kCapToneCurve).At<TW_UINT32>(2), 5u);
}

}  // namespace
