// Our session library against Wine's real Source Manager and the Sample
// Source installed in the prefix: list, open, negotiate, enable without UI,
// receive the transfer through MSG_PROCESSEVENT, transfer, and back down,
// checking the state after every step; and the Fault Lab's crash caught.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fault_guard.h"
#include "platform/memory.h"
#include "platform/message_queue.h"
#include "platform/tick_count.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "tests/e2e/sample_e2e_support.h"
#include "tests/host/sample_chart_reference.h"

namespace {

using namespace sample_e2e;

class SampleSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
    TWAIN_Startup();
    ASSERT_TRUE(TWAIN_BindManager()) << "Wine's twain_32.dll";
    ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    ASSERT_EQ(TWAIN_State(), 3);
  }
  void TearDown() override {
    TWAIN_UnbindManager();
    TWAIN_Shutdown();
    SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  }
};

// Only sane.ds is ours: what else the Manager lists (its camera Source
// names itself after an attached camera) is not checked.
TEST_F(SampleSessionTest, ManagerListsBothSampleSourcesOnceFlatbedFirst) {
  std::vector<std::string> names;
  for (const TW_IDENTITY& identity : ListSources()) names.push_back(NameOf(identity));
  const auto flatbed = std::find(names.begin(), names.end(), kFlatbed);
  const auto faultLab = std::find(names.begin(), names.end(), kFaultLab);
  ASSERT_NE(flatbed, names.end());
  ASSERT_NE(faultLab, names.end());
  EXPECT_EQ(faultLab - flatbed, 1);  // in turn, from the one file
  EXPECT_EQ(std::count(names.begin(), names.end(), kFlatbed), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), kFaultLab), 1);
  EXPECT_EQ(TWAIN_State(), 3);

  TW_IDENTITY byDefault{};
  ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &byDefault));
  EXPECT_EQ(NameOf(byDefault), kFlatbed);  // the first identity of sane.ds
}

TEST_F(SampleSessionTest, FlatbedNativeTransferWalksTheStates) {
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(OpenSource(kFlatbed));
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_STREQ(TWAIN_SourceProductName(), kFlatbed);

  Answer mechanisms;
  ASSERT_TRUE(GetCapability(MSG_GET, ICAP_XFERMECH, mechanisms));
  ASSERT_EQ(mechanisms.conType, TWON_ENUMERATION);
  TW_ENUMERATION header;
  std::memcpy(&header, mechanisms.bytes.data(), sizeof(header));
  EXPECT_EQ(header.ItemType, TWTY_UINT16);
  EXPECT_EQ(header.NumItems, 3u);  // native, file, memory
  ASSERT_TRUE(SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY));
  EXPECT_EQ(CurrentUint16(ICAP_XFERMECH), TWSX_MEMORY);
  ASSERT_TRUE(SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE));
  EXPECT_EQ(CurrentUint16(ICAP_XFERMECH), TWSX_NATIVE);
  // A small gray page keeps the check quick: 200 x 300 pixels.
  ASSERT_TRUE(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
  TW_IMAGELAYOUT layout{};
  layout.Frame.Right.Whole = 4;
  layout.Frame.Bottom.Whole = 6;
  layout.DocumentNumber = layout.PageNumber = layout.FrameNumber = 1;
  ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout));
  ASSERT_TRUE(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 50));
  EXPECT_EQ(TWAIN_State(), 4);

  TWAIN_SetUIHidden(true);
  ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(TWAIN_State(), 5);
  EXPECT_EQ(PumpForSourceEvent(5000), MSG_XFERREADY);
  EXPECT_EQ(TWAIN_State(), 6);

  TW_IMAGEINFO info{};
  ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
  EXPECT_EQ(info.ImageWidth, 200);
  EXPECT_EQ(info.ImageLength, 600);  // Y stays at 100 dots per inch
  EXPECT_EQ(info.BitsPerPixel, 8);

  TW_HANDLE image = nullptr;
  ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image));
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_XFERDONE);
  EXPECT_EQ(TWAIN_State(), 7);
  ASSERT_NE(image, nullptr);
  {
    platform::MemLockGuard lock(image);
    const chart_reference::DibView dib = chart_reference::ReadDib(
        static_cast<const std::uint8_t*>(lock.data()), platform::MemSize(image));
    EXPECT_EQ(dib.width, 200);
    EXPECT_EQ(dib.height, 600);
    EXPECT_EQ(dib.bits, 8);
    const auto expected = chart_reference::ExpectedValues(200, 600, 1, TWPT_GRAY, 8, {});
    EXPECT_EQ(chart_reference::Fnv1a(dib.values), chart_reference::Fnv1a(expected));
  }
  platform::MemFree(image);

  ASSERT_TRUE(TWAIN_XferEnd());
  EXPECT_EQ(TWAIN_State(), 5);  // one page: nothing pending
  ASSERT_TRUE(TWAIN_SourceDisable());
  EXPECT_EQ(TWAIN_State(), 4);
  ASSERT_TRUE(TWAIN_SourceClose());
  EXPECT_EQ(TWAIN_State(), 3);
  ASSERT_TRUE(TWAIN_UnbindManager());
  EXPECT_EQ(TWAIN_State(), 1);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("open to unbind under Wine: %.3f s\n", seconds);
}

TEST_F(SampleSessionTest, FaultLabCrashIsCaughtAndTheProgramGoesOn) {
  SetEnvironmentVariableA("VORREL_FAULT_LAB", "crash-get:ICAP_PIXELTYPE");
  ASSERT_TRUE(OpenSource(kFaultLab));
  EXPECT_EQ(TWAIN_State(), 4);
  // Other capabilities answer as the Flatbed's do.
  EXPECT_EQ(CurrentUint16(ICAP_XFERMECH), TWSX_NATIVE);

  platform::FaultInfo fault;
  const bool completed = platform::RunGuarded(
      [] {
        TW_CAPABILITY record{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
        TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &record);
      },
      &fault);
  EXPECT_FALSE(completed);
  EXPECT_EQ(fault.code, platform::kFaultAccessViolation);

  // The library's hard reset abandons the session without a triplet.
  TWAIN_Shutdown();
  TWAIN_Startup();
  EXPECT_EQ(TWAIN_State(), 1);

  // The process goes on: a new session reaches the well-behaved Flatbed.
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
  ASSERT_TRUE(OpenSource(kFlatbed));
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(CurrentUint16(ICAP_PIXELTYPE), TWPT_RGB);
  EXPECT_TRUE(TWAIN_UnbindManager());
}

}  // namespace
