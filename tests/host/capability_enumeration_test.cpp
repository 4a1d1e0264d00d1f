#include "pages/capability_enumeration.h"

#include <algorithm>
#include <map>

#include "caps/set_rules.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "source_block.h"
#include "vocab/twain_names.h"

namespace {

using Strings = std::vector<std::string>;

// The list box as EnumCaps sees it: sorted texts with their codes.
class FakeCapabilityList : public CapabilityListView {
 public:
  void ClearCapabilities() override { entries.clear(); }
  void EnableCapabilities(bool on) override { enabled = on; }
  void AddCapability(std::string_view text, int code) override {
    entries.insert({std::string(text), code});
  }
  bool HasCapabilityBeginning(std::string_view prefix) override {
    ++searches;
    for (const auto& [text, code] : entries) {
      if (text.size() >= prefix.size() &&
          std::equal(prefix.begin(), prefix.end(), text.begin(),
                     [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
        return true;
    }
    return false;
  }
  void SelectFirstCapability() override {
    selected = entries.empty() ? -1 : entries.begin()->second;
  }

  std::multimap<std::string, int> entries;
  bool enabled = true;
  int selected = -1;
  int searches = 0;
};

class CapabilityEnumerationTest : public SessionTest {
 protected:
  void SetUp() override {
    SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); },
               &log);
  }
  void AnswerEveryGet(TW_UINT16 cc) {
    dsm.On(DG_CONTROL, DAT_CAPABILITY, MSG_GET).Return(TWRC_FAILURE).Condition(cc);
  }
  void Supported(std::vector<std::uint16_t> caps, std::uint32_t claimed = 0) {
    LeBytes bytes;
    bytes.U16(TWTY_UINT16).U32(claimed ? claimed : static_cast<std::uint32_t>(caps.size()));
    for (auto cap : caps) bytes.U16(cap);
    dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET).ReplyContainer(TWON_ARRAY, bytes);
  }
  std::size_t GetsOf(TW_UINT16 cap) const {
    std::size_t count = 0;
    for (const fake::Call& call : dsm.Calls())
      count += call.dat == DAT_CAPABILITY && call.Cap() == cap;
    return count;
  }
  Strings Texts() const {
    Strings texts;
    for (const auto& [text, code] : list.entries) texts.push_back(text);
    return texts;
  }
  std::string LastLine() const { return log.count() ? log.line(log.count() - 1) : ""; }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }

  LogStore log;
  FakeCapabilityList list;
};

TEST_F(CapabilityEnumerationTest, SeqErrorEverywhereListsEveryStandardNameAndEveryCustomCode) {
  GoTo(4);
  AnswerEveryGet(TWCC_SEQERROR);
  EnumCaps(list, nullptr);
  // 114 named standard codes and 256 custom ones; unnamed codes are never asked.
  EXPECT_EQ(list.entries.size(), 114u + 256u);
  EXPECT_EQ(list.entries.count("CAP_0x8000"), 1u);
  EXPECT_EQ(list.entries.count("CAP_0x80ff"), 1u);
  EXPECT_EQ(list.entries.count("ICAP_PATCHCODETIMEOUT"), 1u);
  EXPECT_EQ(GetsOf(0x1102), 0u);
  // Each custom code is asked again to learn its type; each scan get is
  // followed by one status request, as is the logged get.
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_GET), 114u + 2 * 256u + 1u);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_STATUS, MSG_GET), 114u + 256u + 1u);
  EXPECT_TRUE(list.enabled);
  EXPECT_EQ(list.selected, 0x8000) << "the first entry of the sorted list";
  // The logged get of the supported-caps scan replaces the last progress line.
  ASSERT_EQ(log.count(), 2);
  EXPECT_EQ(log.line(0), "Enumerating capabilities...");
  EXPECT_EQ(log.line(1), "MSG_GET(CAP_SUPPORTEDCAPS) -> TWRC_FAILURE, TWCC_SEQERROR");
}

TEST_F(CapabilityEnumerationTest, BadCapButSupportedCapsListsExactlyTheListedCodesAndLearnsTypes) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  dsm.OnCap(ICAP_BITDEPTHREDUCTION, MSG_GET)
      .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(0));
  dsm.OnCap(0x8100, MSG_GET)
      .ReplyContainer(TWON_RANGE, LeBytes().U16(TWTY_INT32).U32(0).U32(60).U32(5).U32(0).U32(0));
  dsm.OnCap(0x8001, MSG_GET).ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_BOOL).U32(1));
  // Duplicates, codes the first scans listed, a code the prefix search finds,
  // and a count far beyond the block.
  Supported({ICAP_XRESOLUTION, 0x8100, ICAP_BITDEPTH, 0x8100, ICAP_XRESOLUTION, 0x8001,
             ICAP_BITDEPTHREDUCTION},
            5000);
  EnumCaps(list, nullptr);
  EXPECT_EQ(list.searches, 3) << "only codes without an entry of their own are searched by text";
  EXPECT_EQ(Texts(), (Strings{"CAP_0x8001", "CAP_0x8100", "CAP_SUPPORTEDCAPS",
                              "ICAP_BITDEPTHREDUCTION", "ICAP_XRESOLUTION"}));
  EXPECT_EQ(RegisteredItemType(0x8001), TWTY_BOOL) << "a custom code the Source answers";
  EXPECT_EQ(GetsOf(ICAP_XRESOLUTION), 2u) << "the standard scan, then add and learn";
  EXPECT_EQ(GetsOf(0x8100), 1u);
  EXPECT_EQ(GetsOf(ICAP_BITDEPTH), 1u) << "prefix of ICAP_BITDEPTHREDUCTION: not added";
  EXPECT_EQ(RegisteredItemType(0x8100), TWTY_INT32);
  EXPECT_EQ(RegisteredItemType(ICAP_XRESOLUTION), -1) << "no container, nothing learned";
  const SetRule learned = LookupSetRule(0x8100);
  EXPECT_EQ(learned.itemType, TWTY_INT32);
  EXPECT_EQ(learned.mask, kSetArray | kSetEnumeration | kSetOneValue | kSetRange);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0) << "every answer was freed";

  // The registry is never cleared: a second run appends again.
  EnumCaps(list, nullptr);
  EXPECT_EQ(RegisteredItemTypeCount(), 4);
}

TEST_F(CapabilityEnumerationTest, SupportedCapsBeyondSixteenBitsAreListedByTheirOwnNumbers) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(
          TWON_ARRAY,
          LeBytes().U16(TWTY_UINT32).U32(4).U32(0x8100).U32(0x18100).U32(0xFFFFFFFF).U32(0x18100));
  EnumCaps(list, nullptr);
  EXPECT_EQ(Texts(), (Strings{"CAP_0x18100", "CAP_0x7fffffff", "CAP_0x8100", "CAP_SUPPORTEDCAPS"}));
  EXPECT_EQ(list.searches, 4) << "codes past 16 bits are searched by text each time";
}

TEST_F(CapabilityEnumerationTest, SupportedCapsOfAnotherShapeAddsNothing) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(TWON_ENUMERATION,
                      LeBytes().U16(TWTY_UINT16).U32(1).U32(0).U32(0).U16(ICAP_UNITS));
  EnumCaps(list, nullptr);
  EXPECT_EQ(Texts(), Strings{"CAP_SUPPORTEDCAPS"});
}

TEST_F(CapabilityEnumerationTest, SupportedCapsOfEveryPlainNumberTypeAreReadAndNoOther) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  // The narrowest type, and the fixed-point one read by its whole part.
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(TWON_ARRAY, LeBytes().U16(TWTY_INT8).U32(1).U8(CAP_XFERCOUNT));
  EnumCaps(list, nullptr);
  EXPECT_EQ(Texts(), (Strings{"CAP_SUPPORTEDCAPS", "CAP_XFERCOUNT"}));
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(TWON_ARRAY, LeBytes().U16(TWTY_FIX32).U32(1).U16(CAP_AUTHOR).U16(0));
  EnumCaps(list, nullptr);
  EXPECT_EQ(Texts(), (Strings{"CAP_AUTHOR", "CAP_SUPPORTEDCAPS"}));
  // A frame is no capability code, whatever its bytes say.
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
      .ReplyContainer(TWON_ARRAY,
                      LeBytes().U16(TWTY_FRAME).U32(1).U32(CAP_AUTHOR).U32(0).U32(0).U32(0));
  EnumCaps(list, nullptr);
  EXPECT_EQ(Texts(), Strings{"CAP_SUPPORTEDCAPS"});
}

TEST_F(CapabilityEnumerationTest, RefusedCapabilityIsListedButNeverAsked) {
  TWAIN_Shutdown();
  TWAIN_Startup();
  fake::SourceManager visioneer("C:\\WINDOWS\\TWAIN_32.DLL");
  visioneer.AddSource("Visioneer Strobe XP");
  TWAIN_SetUIHidden(true);
  ASSERT_TRUE(TWAIN_BindManager() && TWAIN_ManagerOpen(nullptr) && TWAIN_SourceOpenDefault());
  visioneer.On(DG_CONTROL, DAT_CAPABILITY, MSG_GET).Return(TWRC_FAILURE).Condition(TWCC_BADCAP);
  LeBytes bytes;
  bytes.U16(TWTY_UINT16).U32(2).U16(CAP_DEVICEONLINE).U16(ICAP_UNITS);
  visioneer.OnCap(CAP_SUPPORTEDCAPS, MSG_GET).ReplyContainer(TWON_ARRAY, bytes);
  EnumCaps(list, nullptr);
  EXPECT_EQ(list.entries.count("CAP_DEVICEONLINE"), 1u);
  EXPECT_EQ(list.entries.count("ICAP_UNITS"), 1u);
  for (const fake::Call& call : visioneer.Calls())
    EXPECT_FALSE(call.dat == DAT_CAPABILITY && call.Cap() == CAP_DEVICEONLINE);
}

TEST_F(CapabilityEnumerationTest, FaultOnTheFifthCapabilityIsReportedAndResetsTheSession) {
  GoTo(4);
  int gets = 0;
  dsm.On(DG_CONTROL, DAT_CAPABILITY, MSG_GET).Run([&](const fake::Call&, TW_MEMREF) {
    if (++gets == 5) Crash();
    return static_cast<TW_UINT16>(TWRC_SUCCESS);
  });
  EnumCaps(list, nullptr);
  EXPECT_EQ(Texts(),
            (Strings{"CAP_XFERCOUNT", "ICAP_COMPRESSION", "ICAP_PIXELTYPE", "ICAP_UNITS"}));
  EXPECT_FALSE(list.enabled);
  EXPECT_EQ(list.selected, -1);
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(gets, 5) << "the other scans do not run after the reset";
  ASSERT_GE(log.count(), 2);
  EXPECT_EQ(LineAboveFaultPlace(Lines(), 2), "** Exception 0xc0000005 during EnumCaps **");
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "** nCap=259 Call=TWAIN_Get (standard)");
  const auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, EnumFaultText("Flatbed", ICAP_XFERMECH, "TWAIN_Get (standard)"));
  EXPECT_NE(boxes[0].text.find("Source: Flatbed\nCapability: ICAP_XFERMECH\nAction: TWAIN_Get "
                               "(standard)\n\nTWAIN is now unstable. Please exit and report this "
                               "problem to Kandrith ("),
            std::string::npos);
  EXPECT_EQ(TWAIN_Session().callNesting, 0);
  // The hard reset starts the library again, with no Source identity left.
  EXPECT_STREQ(TWAIN_SourceProductName(), "");
  EXPECT_EQ(TWAIN_Session().startupCount, 1);

  // The probe goes on: the session climbs again and a clean run clears the flag.
  GoTo(4);
  dsm.On(DG_CONTROL, DAT_CAPABILITY, MSG_GET).Return(TWRC_FAILURE).Condition(TWCC_BADCAP);
  EnumCaps(list, nullptr);
  EXPECT_FALSE(EnumProgress().faulted);
  EXPECT_TRUE(list.enabled);
}

TEST_F(CapabilityEnumerationTest, FaultInTheSupportedCapsGetNamesTheCodeAfterTheCustomRange) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  int asked = 0;
  dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET).Run([&](const fake::Call&, TW_MEMREF) {
    if (++asked == 2) Crash();  // the logged get, after the standard scan's
    return static_cast<TW_UINT16>(TWRC_FAILURE);
  });
  EnumCaps(list, nullptr);
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "** nCap=33024 Call=TWAIN_Get(CAP_SUPPORTEDCAPS)");
  EXPECT_FALSE(list.enabled);
  EXPECT_TRUE(EnumProgress().faulted);
  EXPECT_EQ(TWAIN_State(), 1);
}

TEST_F(CapabilityEnumerationTest, FaultsNameTheCustomGetAndTheItemBeingLearned) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  dsm.OnCap(0x8003, MSG_GET).Run([](const fake::Call&, TW_MEMREF) -> TW_UINT16 {
    Crash();
    return TWRC_FAILURE;
  });
  EnumCaps(list, nullptr);
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "** nCap=32771 Call=TWAIN_Get (custom)");
  EXPECT_FALSE(list.enabled) << "a run that faulted leaves the list disabled";
  platform::TakeCapturedMessageBoxes();

  // Add and learn names no call of its own: the item just read is named.
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  Supported({ICAP_UNITS});
  int unitsGets = 0;
  dsm.OnCap(ICAP_UNITS, MSG_GET)
      .Run([&](const fake::Call&, TW_MEMREF) -> TW_UINT16 {
        if (++unitsGets == 2) Crash();
        return TWRC_FAILURE;
      })
      .Condition(TWCC_BADCAP);
  EnumCaps(list, nullptr);
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "** nCap=258 Call=CONTAINER_IntValue");
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0)
      << "the supported list held when the Source faulted";
  platform::TakeCapturedMessageBoxes();

  // A Source that faults when asked for its status: the status request is named.
  GoTo(4);
  dsm.On(DG_CONTROL, DAT_STATUS, MSG_GET).Run([](const fake::Call&, TW_MEMREF) -> TW_UINT16 {
    Crash();
    return TWRC_FAILURE;
  });
  EnumCaps(list, nullptr);
  EXPECT_EQ(LineAboveFaultPlace(Lines()), "** nCap=1 Call=TWAIN_GetConditionCode");
}

TEST_F(CapabilityEnumerationTest, NoOpenSourceLeavesTheListEmptyAndDisabled) {
  GoTo(3);
  list.entries.insert({"stale", 1});
  EnumCaps(list, nullptr);
  EXPECT_TRUE(list.entries.empty());
  EXPECT_FALSE(list.enabled);
  EXPECT_EQ(LastLine(), "Can't enumerate capabilities: No open Source");
  EXPECT_TRUE(dsm.Calls().empty());
}

TEST_F(CapabilityEnumerationTest, ProgressLinesAreWrittenAtAVisibleRateNotPerCode) {
  GoTo(4);
  AnswerEveryGet(TWCC_BADCAP);
  Strings progress;
  SetLogSink(
      [](const char* text, bool final, void* c) {
        if (!final) static_cast<Strings*>(c)->push_back(text);
      },
      &progress);
  // A run too short to watch writes none.
  EnumCaps(list, nullptr);
  EXPECT_EQ(progress, Strings{});

  // A Source that takes 10 ms per get.
  dsm.On(DG_CONTROL, DAT_CAPABILITY, MSG_GET).Observe([](const fake::Call&) {
    platform::host::AdvanceTickCount(10);
  });
  EnumCaps(list, nullptr);
  // 114 + 256 gets take 3.7 s: a line every 50 ms of it, not one per code.
  EXPECT_GE(progress.size(), 70u);
  EXPECT_LE(progress.size(), 76u);
  EXPECT_EQ(progress[0], "TWAIN_Get(CAP_AUTHOR)") << "after five gets, 50 ms in";
  EXPECT_EQ(progress.back(), "TWAIN_Get(CAP_SUPPORTEDCAPS)");
}

}  // namespace
