#include "checks/conformance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "checks/check_context.h"
#include "checks/check_report.h"
#include "imaging/dib.h"
#include "platform/host/host_platform.h"
#include "platform/message_queue.h"
#include "sample_source_harness.h"
#include "session_test_support.h"
#include "vocab/twain_names.h"

namespace {

// The Sample Flatbed's protocol engine behind the fake Manager: the
// well-behaved Source every double below breaks in one way.
struct SourceDouble {
  SourceDouble() : identity(dsm.AddSource(sample::kFlatbedName)) {
    TWAIN_Startup();
    EXPECT_EQ(sample.Open(), TWRC_SUCCESS);
    for (TW_UINT16 msg :
         {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_RESET, MSG_QUERYSUPPORT})
      Forward(DG_CONTROL, DAT_CAPABILITY, msg);
    Forward(DG_IMAGE, DAT_IMAGEINFO, MSG_GET);
    for (TW_UINT16 msg : {MSG_GET, MSG_ENDXFER, MSG_RESET})
      Forward(DG_CONTROL, DAT_PENDINGXFERS, msg);
    Forward(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
    Forward(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT);
    Forward(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET);
    for (TW_UINT16 msg : {MSG_GET, MSG_SET}) Forward(DG_CONTROL, DAT_SETUPFILEXFER, msg);
    for (TW_UINT16 dat : {DAT_IMAGENATIVEXFER, DAT_IMAGEMEMXFER, DAT_IMAGEFILEXFER})
      Forward(DG_IMAGE, dat, MSG_GET);
    // The Source's event reaches the queue as a message, as it does on Windows.
    sample.host.deliver = false;
    dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
        .Run([this](const fake::Call& call, TW_MEMREF data) { return Enable(call, data); });
    TheCheckSettings().withUi = true;
    dsm.On(DG_CONTROL, DAT_STATUS, MSG_GET).Run([this](const fake::Call&, TW_MEMREF data) {
      static_cast<TW_STATUS*>(data)->ConditionCode = lastCondition;
      return TW_UINT16{TWRC_SUCCESS};
    });
  }
  ~SourceDouble() {
    TWAIN_Shutdown();
    TheCheckSettings() = {};
  }

  TW_UINT16 Pass(const fake::Call& call, TW_MEMREF data) {
    const TW_UINT16 rc = sample.Call(call.dg, call.dat, call.msg, data);
    lastCondition = rc == TWRC_SUCCESS ? TW_UINT16{TWCC_SUCCESS} : sample.Condition();
    return rc;
  }
  TW_UINT16 Enable(const fake::Call& call, TW_MEMREF data) {
    const TW_UINT16 rc = Pass(call, data);
    platform::PostQueueMessage(nullptr, platform::kUserMessage, 0, 0);
    return rc;
  }
  void Forward(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
    dsm.On(dg, dat, msg).Run([this](const fake::Call& call, TW_MEMREF data) {
      return Pass(call, data);
    });
  }
  // The Sample's answer, then `change` to the record.
  template <class Record>
  void Alter(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, std::function<void(Record&)> change) {
    dsm.On(dg, dat, msg).Run([this, change](const fake::Call& call, TW_MEMREF data) {
      const TW_UINT16 rc = Pass(call, data);
      if (data) change(*static_cast<Record*>(data));
      return rc;
    });
  }
  void Refuse(TW_UINT16 cap, TW_UINT16 msg, TW_UINT16 rc, TW_UINT16 cc) {
    Answer(dsm.OnCap(cap, msg), rc, cc);
  }
  void Answer(fake::Rule& rule, TW_UINT16 rc, TW_UINT16 cc) {
    rule.Run([this, rc, cc](const fake::Call&, TW_MEMREF) {
      lastCondition = cc;
      return rc;
    });
  }

  CheckResult Run() {
    TWAIN_SetUIHidden(true);
    EXPECT_TRUE(TWAIN_SourceOpenDefault());
    return RunChecks({}, {});
  }
  fake::SourceManager dsm;
  TW_IDENTITY& identity;  // valid until another Source is added
  sample_test::Harness sample;
  TW_UINT16 lastCondition = TWCC_SUCCESS;
};

// Blocks a double loses on purpose, freed when the test is done with them.
std::vector<platform::MemoryHandle>& LostBlocks() {
  static std::vector<platform::MemoryHandle> blocks;
  return blocks;
}

std::string Findings(const CheckResult& result) {
  std::string text;
  for (const Finding& f : result.findings)
    text +=
        f.checkId + " " + CapName(f.cap) + " " + f.call + ": " + f.expected + " / " + f.came + "\n";
  return text;
}

CheckOutcome OutcomeOf(const CheckResult& result, const std::string& id) {
  for (const CheckStatus& status : result.checks) {
    if (status.row->id == id) return status.outcome;
  }
  ADD_FAILURE() << "no check " << id;
  return CheckOutcome::kNotRun;
}

std::vector<std::uint8_t> OneValue(TW_UINT16 itemType, std::uint32_t item) {
  return {static_cast<std::uint8_t>(itemType),   0,
          static_cast<std::uint8_t>(item),       static_cast<std::uint8_t>(item >> 8),
          static_cast<std::uint8_t>(item >> 16), static_cast<std::uint8_t>(item >> 24)};
}

TEST(ConformanceTest, TheSampleFlatbedScoresHundredWithNoFinding) {
  SourceDouble source;
  sample_test::Harness& sample = source.sample;
  const CheckResult result = source.Run();
  EXPECT_EQ(result.score, 100) << Findings(result);
  EXPECT_TRUE(result.findings.empty()) << Findings(result);
  EXPECT_TRUE(result.stopped.empty()) << result.stopped;
  for (const CheckStatus& status : result.checks)
    EXPECT_NE(status.outcome, CheckOutcome::kNotRun) << status.row->id;
  // Every value it set was put back.
  EXPECT_EQ(sample.Current(ICAP_PIXELTYPE), TWPT_RGB);
  EXPECT_EQ(sample.Current(ICAP_UNITS), TWUN_INCHES);
  EXPECT_EQ(sample.Current(ICAP_XRESOLUTION), 100);
  EXPECT_EQ(sample.Current(ICAP_XFERMECH), TWSX_NATIVE);
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(sample.State(), 4);
}

// Each double breaks one rule; the pass names it and goes on to the end.
TEST(ConformanceTest, EachBrokenRuleGivesTheFindingThatNamesIt) {
  struct Case {
    const char* check;
    int cap;
    const char* call;
    std::function<void(SourceDouble&)> breakIt;
  };
  const Case cases[] = {
      {"identity.strings", -1, "MSG_OPENDS",
       [](SourceDouble& t) { std::memset(t.identity.ProductFamily, 'x', 34); }},
      {"identity.protocol", -1, "MSG_OPENDS",
       [](SourceDouble& t) { t.identity.ProtocolMajor = 0xCCCC; }},
      {"identity.version", -1, "MSG_OPENDS",
       [](SourceDouble& t) { t.identity.Version.MajorNum = 0xCCCC; }},
      {"identity.version", -1, "MSG_OPENDS",
       [](SourceDouble& t) { t.identity.Version.Country = 0xCDCD; }},
      {"identity.groups", -1, "MSG_OPENDS",
       [](SourceDouble& t) { t.identity.SupportedGroups = DG_CONTROL; }},
      {"status.seqerror", -1, "DAT_IMAGEINFO",
       [](SourceDouble& t) { t.dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET); }},
      {"status.seqerror", -1, "MSG_ENDXFER",
       [](SourceDouble& t) {  // a transfer ends it as it should
         t.dsm.On(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               if (t.sample.State() > 4) return t.Pass(call, data);
               t.lastCondition = TWCC_BADPROTOCOL;
               return TW_UINT16{TWRC_FAILURE};
             });
       }},
      {"status.capunsupported", ICAP_LAMPSTATE, "MSG_GET(ICAP_LAMPSTATE)",
       [](SourceDouble& t) { t.Refuse(ICAP_LAMPSTATE, MSG_GET, TWRC_FAILURE, TWCC_BUMMER); }},
      {"mandatory.supportedcaps", CAP_SUPPORTEDCAPS, "MSG_GET(CAP_SUPPORTEDCAPS)",
       [](SourceDouble& t) {
         t.dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_GET)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_UINT16, ICAP_UNITS));
       }},
      {"mandatory.get", ICAP_COMPRESSION, "MSG_GET(ICAP_COMPRESSION)",
       [](SourceDouble& t) {
         t.Refuse(ICAP_COMPRESSION, MSG_GET, TWRC_FAILURE, TWCC_CAPUNSUPPORTED);
       }},
      {"caps.container", ICAP_UNITS, "MSG_GETCURRENT(ICAP_UNITS)",
       [](SourceDouble& t) {
         std::vector<std::uint8_t> range(22, 0);
         range[0] = TWTY_UINT16;
         range[10] = 1;
         t.dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).ReplyContainer(TWON_RANGE, range);
       }},
      {"caps.container", ICAP_PIXELTYPE, "MSG_GET(ICAP_PIXELTYPE)",
       [](SourceDouble& t) {  // NumItems 1000, one item in the block
         t.dsm.OnCap(ICAP_PIXELTYPE, MSG_GET)
             .ReplyContainer(TWON_ENUMERATION,
                             {TWTY_UINT16, 0, 0xE8, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, TWPT_RGB, 0});
       }},
      {"caps.within", ICAP_PIXELTYPE, "MSG_GETDEFAULT(ICAP_PIXELTYPE)",
       [](SourceDouble& t) {
         t.dsm.OnCap(ICAP_PIXELTYPE, MSG_GETDEFAULT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_UINT16, 9));
       }},
      {"caps.querysupport", CAP_SUPPORTEDCAPS, "MSG_QUERYSUPPORT(CAP_SUPPORTEDCAPS)",
       [](SourceDouble& t) {
         t.dsm.OnCap(CAP_SUPPORTEDCAPS, MSG_QUERYSUPPORT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_INT32, 0x1F));
       }},
      {"caps.querysupport-unclaimed", ICAP_UNITS, "MSG_QUERYSUPPORT(ICAP_UNITS)",
       [](SourceDouble& t) {
         t.dsm.OnCap(ICAP_UNITS, MSG_QUERYSUPPORT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_INT32, 0x01));
       }},
      {"caps.set-readback", ICAP_PIXELTYPE, "MSG_SET(ICAP_PIXELTYPE)",
       [](SourceDouble& t) { t.Refuse(ICAP_PIXELTYPE, MSG_SET, TWRC_FAILURE, TWCC_BADVALUE); }},
      {"caps.set-readback", ICAP_UNITS, "MSG_GETCURRENT(ICAP_UNITS)",
       [](SourceDouble& t) {  // takes every value, keeps inches
         t.dsm.OnCap(ICAP_UNITS, MSG_SET).Return(TWRC_SUCCESS);
       }},
      {"caps.reset", ICAP_UNITS, "MSG_RESET(ICAP_UNITS)",
       [](SourceDouble& t) { t.Refuse(ICAP_UNITS, MSG_RESET, TWRC_FAILURE, TWCC_BUMMER); }},
      {"xfercount.one", CAP_XFERCOUNT, "MSG_SET(CAP_XFERCOUNT)",
       [](SourceDouble& t) { t.Refuse(CAP_XFERCOUNT, MSG_SET, TWRC_FAILURE, TWCC_BADVALUE); }},
      {"caps.container", ICAP_BITDEPTH, "MSG_GETDEFAULT(ICAP_BITDEPTH)",
       [](SourceDouble& t) {
         t.dsm.OnCap(ICAP_BITDEPTH, MSG_GETDEFAULT).Run([](const fake::Call&, TW_MEMREF) {
           Crash();
           return TW_UINT16{TWRC_SUCCESS};
         });
       }},
      {"transfer.ready", -1, "MSG_ENABLEDS",
       [](SourceDouble& t) {
         t.Answer(t.dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS), TWRC_FAILURE, TWCC_BUMMER);
       }},
      {"transfer.ready", -1, "MSG_PROCESSEVENT",
       [](SourceDouble& t) {  // enabled, and nothing ever reaches the queue
         t.Forward(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
       }},
      {"transfer.no-pump", -1, "MSG_ENABLEDS (TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY)",
       [](SourceDouble& t) {  // runs the application's message loop inside the call
         t.dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               for (platform::Message m; platform::PeekRemoveMessage(m);) {
               }
               return t.Enable(call, data);
             });
       }},
      {"transfer.imageinfo", -1, "DAT_IMAGEINFO MSG_GET (TWSX_NATIVE)",
       [](SourceDouble& t) {
         t.Alter<TW_IMAGEINFO>(DG_IMAGE, DAT_IMAGEINFO, MSG_GET,
                               [](TW_IMAGEINFO& info) { info.ImageWidth += 1; });
       }},
      {"transfer.native", -1, "DAT_IMAGENATIVEXFER",
       [](SourceDouble& t) {
         t.Alter<TW_HANDLE>(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, [](TW_HANDLE& handle) {
           handle = platform::host::MakeGdiBitmap(handle);
         });
       }},
      {"transfer.native", -1, "DAT_IMAGENATIVEXFER",
       [](SourceDouble& t) {  // the header claims twice the rows its block holds
         t.Alter<TW_HANDLE>(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, [](TW_HANDLE& handle) {
           platform::MemLockGuard lock(handle);
           auto* header = static_cast<BitmapInfoHeader*>(lock.data());
           header->biHeight *= 2;
         });
       }},
      {"transfer.memory", -1, "DAT_SETUPMEMXFER",
       [](SourceDouble& t) {
         t.Alter<TW_SETUPMEMXFER>(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET,
                                  [](TW_SETUPMEMXFER& setup) { setup.MinBufSize = 0; });
       }},
      {"transfer.memory", -1, "DAT_IMAGEMEMXFER",
       [](SourceDouble& t) {
         t.Alter<TW_IMAGEMEMXFER>(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, [](TW_IMAGEMEMXFER& strip) {
           strip.BytesWritten = strip.Memory.Length + 1;
         });
       }},
      {"transfer.memory", -1, "DAT_IMAGEMEMXFER",
       [](SourceDouble& t) {  // every strip claims the top of the image
         t.Alter<TW_IMAGEMEMXFER>(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET,
                                  [](TW_IMAGEMEMXFER& strip) { strip.YOffset = 0; });
       }},
      {"transfer.file", -1, "DAT_IMAGEFILEXFER",
       [](SourceDouble& t) {  // a text file where the bitmap was asked
         t.dsm.On(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               const TW_UINT16 rc = t.Pass(call, data);
               std::ofstream(testing::TempDir() + "vorrel_sample.bmp", std::ios::binary)
                   << "not an image";
               return rc;
             });
       }},
      {"stress.openclose", -1, "MSG_CLOSEDS",
       [](SourceDouble& t) {
         t.dsm.On(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS).Return(TWRC_FAILURE);
       }},
      {"stress.enable", -1, "MSG_ENABLEDS and MSG_DISABLEDS",
       [](SourceDouble& t) {  // a block of the process's heap lost with each enable
         t.Alter<TW_USERINTERFACE>(
             DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,
             [](TW_USERINTERFACE&) { LostBlocks().push_back(platform::MemAlloc(16)); });
       }},
      {"stress.enable", -1, "MSG_ENABLEDS and MSG_DISABLEDS",
       [](SourceDouble& t) {
         t.Alter<TW_USERINTERFACE>(
             DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS,
             [](TW_USERINTERFACE&) { platform::host::AddPrivateBytes(256u << 10); });
       }},
      {"ui.shown", -1, "ShowUI TRUE",
       [](SourceDouble& t) {
         t.dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               if (!static_cast<TW_USERINTERFACE*>(data)->ShowUI) return t.Enable(call, data);
               t.lastCondition = TWCC_BUMMER;
               return TW_UINT16{TWRC_FAILURE};
             });
       }},
      {"ui.shown", -1, "ShowUI TRUE",
       [](SourceDouble& t) {  // scans at once, dialog or not
         t.dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               static_cast<TW_USERINTERFACE*>(data)->ShowUI = TW_FALSE;
               return t.Enable(call, data);
             });
       }},
      {"ui.shown", CAP_UICONTROLLABLE, "ShowUI FALSE",
       [](SourceDouble& t) {  // says it needs its dialog, and runs without it
         t.dsm.OnCap(CAP_UICONTROLLABLE, MSG_GETCURRENT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_BOOL, 0));
       }},
      {"records.guard", -1, "DAT_IMAGEINFO",
       [](SourceDouble& t) {  // four bytes past the record it was handed
         t.dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               const TW_UINT16 rc = t.Pass(call, data);
               std::memset(static_cast<char*>(data) + sizeof(TW_IMAGEINFO), 0x5A, 4);
               return rc;
             });
       }},
      {"transfer.pending", -1, "MSG_ENDXFER",
       [](SourceDouble& t) {
         t.Alter<TW_PENDINGXFERS>(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER,
                                  [](TW_PENDINGXFERS& pending) { pending.Count = 1; });
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.check + std::string(" ") + c.call);
    SourceDouble source;
    c.breakIt(source);
    const CheckResult result = source.Run();
    bool named = false;
    for (const Finding& f : result.findings) {
      named |= f.checkId == c.check && (c.cap < 0 || f.cap == c.cap) &&
               f.call.find(c.call) != std::string::npos;
    }
    EXPECT_TRUE(named) << Findings(result);
    EXPECT_LT(result.score, 100);
    EXPECT_TRUE(result.stopped.empty()) << result.stopped;
    EXPECT_NE(result.checks.back().outcome, CheckOutcome::kNotRun);
  }
  for (platform::MemoryHandle block : LostBlocks()) platform::MemFree(block);
  LostBlocks().clear();
}

// A hang ends the process inside a check; what was written before it began
// must already name it as failed, and the checks before it as they came.
TEST(ConformanceTest, WhatIsWrittenBeforeACheckNamesItAsNotReturned) {
  struct Snapshot : CheckObserver {
    std::size_t at = 0;
    CheckResult written;
    void CheckStarting(const CheckResult& result, std::size_t index) override {
      if (index == at) written = UnfinishedResult(result, {}, &index);
    }
  };
  SourceDouble source;
  source.Refuse(ICAP_UNITS, MSG_RESET, TWRC_FAILURE, TWCC_BUMMER);
  Snapshot snapshot;
  for (std::size_t i = 0; i < CheckTable().size(); ++i) {
    if (std::string(CheckTable()[i].id) == "xfercount.one") snapshot.at = i;
  }
  TWAIN_SetUIHidden(true);
  ASSERT_TRUE(TWAIN_SourceOpenDefault());
  const CheckResult finished = RunChecks({}, {}, &snapshot);
  const CheckResult& written = snapshot.written;
  EXPECT_EQ(written.stopped, "the xfercount.one check did not return");
  EXPECT_EQ(written.checks[snapshot.at].outcome, CheckOutcome::kFailed);
  EXPECT_EQ(written.checks[snapshot.at - 1].outcome, finished.checks[snapshot.at - 1].outcome);
  EXPECT_EQ(written.checks.back().outcome, CheckOutcome::kNotRun);
  ASSERT_EQ(written.findings.size(), 2u) << Findings(written);
  EXPECT_EQ(written.findings[0].checkId, "caps.reset");
  EXPECT_EQ(written.findings[1].came, "did not return (the process ended in it)");
  EXPECT_EQ(written.score, 100 - 2 * kErrorPenalty);
  EXPECT_EQ(written.errors, 2);
}

// What TWAIN allows is a note: named, free of penalty, and no CI failure.
TEST(ConformanceTest, AllowedOddAnswersAreNotedWithoutPenalty) {
  const struct {
    const char* check;
    std::function<void(SourceDouble&)> oddly;
  } cases[] = {
      {"transfer.enable-checkstatus",
       [](SourceDouble& t) {
         t.dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
             .Run([&t](const fake::Call& call, TW_MEMREF data) {
               t.Enable(call, data);
               return TW_UINT16{TWRC_CHECKSTATUS};
             });
       }},
      {"transfer.pending-unknown",
       [](SourceDouble& t) {
         t.Alter<TW_PENDINGXFERS>(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET,
                                  [](TW_PENDINGXFERS& pending) { pending.Count = -1; });
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.check);
    SourceDouble source;
    c.oddly(source);
    const CheckResult result = source.Run();
    ASSERT_FALSE(result.findings.empty());
    for (const Finding& f : result.findings) {
      EXPECT_EQ(f.checkId, c.check) << Findings(result);
      EXPECT_EQ(f.severity, Severity::kNote);
    }
    EXPECT_EQ(result.score, 100);
    EXPECT_EQ(result.errors, 0);
    const std::string junit = CheckJUnitXml(result);
    EXPECT_NE(junit.find("failures=\"0\""), std::string::npos) << junit;
    EXPECT_NE(junit.find("<system-out>"), std::string::npos) << junit;
  }
}

// What TWAIN allows is no finding of the check it could be taken for.
TEST(ConformanceTest, WhatTwainAllowsIsNotTakenForABrokenRule) {
  const struct {
    const char* check;
    const char* allowed;
    std::function<void(SourceDouble&)> allow;
  } cases[] = {
      {"caps.within", "a one-value MSG_GET (the current value) beside another default",
       [](SourceDouble& t) {
         t.dsm.OnCap(ICAP_UNITS, MSG_GET)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_UINT16, TWUN_INCHES));
         t.dsm.OnCap(ICAP_UNITS, MSG_GETDEFAULT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_UINT16, TWUN_CENTIMETERS));
       }},
      {"caps.set-readback", "TWRC_CHECKSTATUS and the nearest value kept",
       [](SourceDouble& t) { t.dsm.OnCap(ICAP_UNITS, MSG_SET).Return(TWRC_CHECKSTATUS); }},
      {"caps.set-readback", "MSG_SET refused where MSG_QUERYSUPPORT does not claim it",
       [](SourceDouble& t) {
         t.dsm.OnCap(ICAP_PIXELTYPE, MSG_QUERYSUPPORT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_INT32, 0x1D));
         t.Refuse(ICAP_PIXELTYPE, MSG_SET, TWRC_FAILURE, TWCC_BADPROTOCOL);
       }},
      {"caps.reset", "MSG_RESET refused where MSG_QUERYSUPPORT does not claim it",
       [](SourceDouble& t) {
         t.dsm.OnCap(ICAP_UNITS, MSG_QUERYSUPPORT)
             .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_INT32, 0x0F));
         t.Refuse(ICAP_UNITS, MSG_RESET, TWRC_FAILURE, TWCC_BADPROTOCOL);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.allowed);
    SourceDouble source;
    c.allow(source);
    const CheckResult result = source.Run();
    EXPECT_EQ(OutcomeOf(result, c.check), CheckOutcome::kPassed) << Findings(result);
    EXPECT_EQ(OutcomeOf(result, "caps.querysupport"), CheckOutcome::kPassed) << Findings(result);
  }
}

// Rows and YOffset place uncompressed strips; a compressed strip may leave
// them unset (TWON_DONTCARE32), and only its buffer is held against it.
TEST(ConformanceTest, CompressedStripsAreHeldOnlyToTheirBuffer) {
  CheckResult result;
  CheckContext context{result};
  for (const CheckRow& row : CheckTable()) {
    if (row.id == std::string("transfer.memory")) context.row = &row;
  }
  context.transfersMade = context.uiControllableRead = true;
  TransferRun& run = context.transfers.emplace_back();
  run.mechanism = TWSX_MEMORY;
  run.event = MSG_XFERREADY;
  run.setupRead = run.transferred = run.infoRead = true;
  run.setup = {1024, 4096, 2048};
  run.info.ImageLength = 100;
  for (TW_UINT16 rc : {TW_UINT16{TWRC_SUCCESS}, TW_UINT16{TWRC_XFERDONE}})
    run.strips.push_back({rc, 2048, TWCP_JPEG, TWON_DONTCARE32, TWON_DONTCARE32, 0, 2000});
  TransferMemory(context);
  EXPECT_TRUE(result.findings.empty()) << Findings(result);

  for (StripSeen& strip : run.strips) {  // the same, uncompressed: both strips at row 0
    strip.compression = TWCP_NONE;
    strip.bytesPerRow = 20;
    strip.rows = 50;
  }
  TransferMemory(context);
  ASSERT_EQ(result.findings.size(), 1u) << Findings(result);
  EXPECT_NE(result.findings[0].came.find("overlaps"), std::string::npos);
  run.strips.back().bytesWritten = 2049;
  TransferMemory(context);
  EXPECT_NE(Findings(result).find("BytesWritten 2049"), std::string::npos) << Findings(result);
}

// The Source's dialog is shown only when a person asked for it.
TEST(ConformanceTest, TheUserInterfaceIsCheckedOnlyWhenAsked) {
  SourceDouble source;
  TheCheckSettings().withUi = false;
  const CheckResult result = source.Run();
  EXPECT_EQ(OutcomeOf(result, "ui.shown"), CheckOutcome::kNotRun);
  EXPECT_EQ(source.sample.host.dialogsShown, 0);
  TheCheckSettings().withUi = true;
  EXPECT_EQ(OutcomeOf(RunChecks({"ui"}, {}), "ui.shown"), CheckOutcome::kPassed);
  EXPECT_EQ(source.sample.host.dialogsShown, 1);
  EXPECT_EQ(source.sample.host.dialogsClosed, 1);
}

// A Source that says it transfers only through its own dialog is not
// failed for never announcing an image with its dialog hidden.
TEST(ConformanceTest, ASourceThatNeedsItsDialogHasTheHiddenTransferChecksNotApplied) {
  SourceDouble source;
  TheCheckSettings().stressCycles = 2;
  source.dsm.OnCap(CAP_UICONTROLLABLE, MSG_GETCURRENT)
      .ReplyContainer(TWON_ONEVALUE, OneValue(TWTY_BOOL, 0));
  source.dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)
      .Run([&source](const fake::Call& call, TW_MEMREF data) {
        source.Pass(call, data);  // its dialog waits for a person: no event
        return TW_UINT16{TWRC_CHECKSTATUS};
      });
  TWAIN_SetUIHidden(true);
  ASSERT_TRUE(TWAIN_SourceOpenDefault());
  const CheckResult result = RunChecks({"transfer", "stress"}, {});
  EXPECT_TRUE(result.findings.empty()) << Findings(result);
  for (const CheckStatus& status : result.checks) {
    const std::string id = status.row->id;
    if (id.starts_with("transfer.") || id == "stress.enable") {
      EXPECT_EQ(status.outcome, CheckOutcome::kNotApplicable) << id;
    }
  }
  EXPECT_EQ(OutcomeOf(result, "stress.openclose"), CheckOutcome::kPassed);
  EXPECT_NE(
      CheckReportText(result).find("stress.enable: not applicable: CAP_UICONTROLLABLE is FALSE"),
      std::string::npos)
      << CheckReportText(result);
}

// MSG_RESETALL, which only 2.x Sources owe: a Source that resets every
// capability passes, one that answers success and resets nothing does not.
TEST(ConformanceTest, ResetAllOfA2xSourceMakesEveryDefaultCurrent) {
  for (const bool resets : {true, false}) {
    SCOPED_TRACE(resets ? "resets" : "resets nothing");
    SourceDouble source;
    source.identity.ProtocolMajor = 2;
    source.dsm.On(DG_CONTROL, DAT_CAPABILITY, 0x0A01).Run([&](const fake::Call&, TW_MEMREF) {
      const sample_test::Answer list = source.sample.Get(MSG_GET, CAP_SUPPORTEDCAPS);
      const auto count = list.At<TW_UINT32>(2);  // an array: type, count, items
      for (std::size_t n = 0; resets && n < count; ++n) {
        TW_CAPABILITY record{list.At<TW_UINT16>(6 + 2 * n), TWON_DONTCARE16, nullptr};
        source.sample.Call(DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &record);
        platform::MemFree(record.hContainer);
      }
      return TW_UINT16{TWRC_SUCCESS};
    });
    const CheckResult result = source.Run();
    const auto row = std::find_if(
        result.checks.begin(), result.checks.end(),
        [](const CheckStatus& s) { return s.row->id == std::string("caps.resetall"); });
    ASSERT_NE(row, result.checks.end());
    EXPECT_EQ(row->outcome, resets ? CheckOutcome::kPassed : CheckOutcome::kFailed)
        << Findings(result);
    // Whatever it left, the values from before the pass are back.
    EXPECT_EQ(source.sample.Current(ICAP_PIXELTYPE), TWPT_RGB);
    EXPECT_EQ(source.sample.Current(ICAP_UNITS), TWUN_INCHES);
  }
}

// A SET that moves another capability: the pass puts that one back at the
// end, or says it could not.
TEST(ConformanceTest, CapabilitiesChangedByTheWayArePutBackOrNamed) {
  for (const bool refusesUnits : {false, true}) {
    SCOPED_TRACE(refusesUnits ? "ICAP_UNITS refuses MSG_SET" : "ICAP_UNITS takes MSG_SET");
    SourceDouble source;
    // CAP_XFERCOUNT is set after every capability check has put its own back.
    source.dsm.OnCap(CAP_XFERCOUNT, MSG_SET).Run([&](const fake::Call& call, TW_MEMREF data) {
      const TW_UINT16 rc = source.Pass(call, data);
      source.sample.SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS);
      return rc;
    });
    if (refusesUnits) source.Refuse(ICAP_UNITS, MSG_SET, TWRC_FAILURE, TWCC_BADVALUE);
    const CheckResult result = source.Run();
    if (refusesUnits) {
      // The resolutions, read in centimetres now, cannot be put back either.
      ASSERT_FALSE(result.notRestored.empty());
      EXPECT_EQ(result.notRestored[0], "ICAP_UNITS is TWUN_CENTIMETERS, was TWUN_INCHES");
    } else {
      EXPECT_TRUE(result.notRestored.empty()) << result.notRestored[0];
      EXPECT_EQ(source.sample.Current(ICAP_UNITS), TWUN_INCHES);
    }
  }
}

}  // namespace
