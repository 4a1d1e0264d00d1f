#include "checks/conformance.h"

#include <gtest/gtest.h>

#include <functional>

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
    Forward(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER);
    dsm.On(DG_CONTROL, DAT_STATUS, MSG_GET).Run([this](const fake::Call&, TW_MEMREF data) {
      static_cast<TW_STATUS*>(data)->ConditionCode = lastCondition;
      return TW_UINT16{TWRC_SUCCESS};
    });
  }
  ~SourceDouble() { TWAIN_Shutdown(); }

  void Forward(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
    dsm.On(dg, dat, msg).Run([this](const fake::Call& call, TW_MEMREF data) {
      const TW_UINT16 rc = sample.Call(call.dg, call.dat, call.msg, data);
      lastCondition = rc == TWRC_SUCCESS ? TW_UINT16{TWCC_SUCCESS} : sample.Condition();
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

std::string Findings(const CheckResult& result) {
  std::string text;
  for (const Finding& f : result.findings)
    text +=
        f.checkId + " " + CapName(f.cap) + " " + f.call + ": " + f.expected + " / " + f.came + "\n";
  return text;
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
  EXPECT_EQ(TWAIN_State(), 4);
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
      {"identity.groups", -1, "MSG_OPENDS",
       [](SourceDouble& t) { t.identity.SupportedGroups = DG_CONTROL; }},
      {"status.seqerror", -1, "DAT_IMAGEINFO",
       [](SourceDouble& t) { t.dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET); }},
      {"status.seqerror", -1, "MSG_ENDXFER",
       [](SourceDouble& t) {
         t.Answer(t.dsm.On(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER), TWRC_FAILURE,
                  TWCC_BADPROTOCOL);
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
}

}  // namespace
