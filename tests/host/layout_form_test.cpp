#include "pages/layout_form.h"

#include "caps/container.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "source_block.h"

namespace {

using Strings = std::vector<std::string>;

TW_IMAGELAYOUT Letter() {
  TW_IMAGELAYOUT layout{};
  layout.Frame = {NumberToFix32(0), NumberToFix32(0), NumberToFix32(8.5), NumberToFix32(11)};
  layout.DocumentNumber = layout.PageNumber = layout.FrameNumber = 1;
  return layout;
}

class LayoutFormTest : public SessionTest {
 protected:
  void SetUp() override {
    GoTo(4);
    SetLogSink([](const char* t, bool f, void* c) { static_cast<LogStore*>(c)->Write(t, f); },
               &log);
  }
  void TearDown() override { ResetLog(); }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }
  // A Source that keeps the layout it was given and reports it back,
  // optionally changed the way a Source adjusts a frame.
  void KeepLayout(TW_UINT16 setResult = TWRC_SUCCESS) {
    dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET)
        .Run([this, setResult](const fake::Call&, TW_MEMREF data) {
          stored = *static_cast<TW_IMAGELAYOUT*>(data);
          fieldsWhenSent = form.fields();
          if (setResult == TWRC_CHECKSTATUS) stored.Frame.Right = NumberToFix32(8.5);
          return setResult;
        });
    dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET).Run([this](const fake::Call&, TW_MEMREF data) {
      *static_cast<TW_IMAGELAYOUT*>(data) = stored;
      return TW_UINT16{TWRC_SUCCESS};
    });
  }
  void Type(const LayoutFields& fields) {
    for (int i = 0; i < kLayoutFieldCount; ++i)
      form.SetField(i, fields[static_cast<std::size_t>(i)]);
  }

  LogStore log;
  LayoutForm form;
  TW_IMAGELAYOUT stored = Letter();
  LayoutFields fieldsWhenSent;
};

TEST_F(LayoutFormTest, FieldsOutsideTheFormAreIgnored) {
  LayoutFields shown{};
  form.OnRefresh([&](const LayoutFields& fields) { shown = fields; });
  const LayoutFields before = form.fields();
  form.SetField(-1, "x");
  form.SetField(kLayoutFieldCount, "x");
  EXPECT_EQ(form.fields(), before);
  form.Request(MSG_GET);
  EXPECT_EQ(shown, form.fields()) << "the form still shows what it reads";
}

TEST_F(LayoutFormTest, GetShowsTheLetterFrameAndEachRequestLogsItsLine) {
  dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET).Fill([](TW_MEMREF data) {
    *static_cast<TW_IMAGELAYOUT*>(data) = Letter();
  });
  form.Request(MSG_GET);
  EXPECT_TRUE(form.valid());
  EXPECT_EQ(form.fields(), (LayoutFields{"0", "0", "8.5", "11", "1", "1", "1"}));

  dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT).Fill([](TW_MEMREF data) {
    TW_IMAGELAYOUT layout = Letter();
    layout.Frame.Left = TW_FIX32{-2, 0x8000};  // a Source's nonsense is shown as it came
    layout.DocumentNumber = 4000000000u;
    *static_cast<TW_IMAGELAYOUT*>(data) = layout;
  });
  form.Request(MSG_GETDEFAULT);
  EXPECT_EQ(form.fields()[kLayoutLeft], "-1.5");
  EXPECT_EQ(form.fields()[kLayoutDocumentNumber], "4000000000");

  dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET).Return(TWRC_FAILURE).Condition(TWCC_SEQERROR);
  form.Request(MSG_RESET);
  EXPECT_FALSE(form.valid());
  EXPECT_EQ(form.fields(), LayoutFields{}) << "a failed request empties every field";
  EXPECT_EQ(Lines(),
            (Strings{"(DG_IMAGE,DAT_IMAGELAYOUT,MSG_GET) -> TWRC_SUCCESS",
                     "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_GETDEFAULT) -> TWRC_SUCCESS",
                     "(DG_IMAGE,DAT_IMAGELAYOUT,MSG_RESET) -> TWRC_FAILURE, TWCC_SEQERROR"}));
}

TEST_F(LayoutFormTest, SetSendsTheFieldsAndShowsWhatTheSourceReadsBack) {
  KeepLayout();
  Type({"0.1", " 0.25cm", "8", "10", "3", "", "  12"});
  form.Set();
  ASSERT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET), 1u) << dsm.Transcript();
  EXPECT_EQ(stored.Frame.Left.Whole, 0);
  EXPECT_EQ(stored.Frame.Left.Frac, 6554);
  EXPECT_EQ(stored.Frame.Top.Frac, 0x4000) << "text after the number is ignored";
  EXPECT_EQ(stored.PageNumber, 1u) << "an empty number field sends 1";
  EXPECT_EQ(stored.FrameNumber, 12u);
  EXPECT_EQ(fieldsWhenSent[kLayoutPageNumber], "1") << "shown before the triplet";
  EXPECT_EQ(fieldsWhenSent[kLayoutTop], "0.25") << "every field shows its value in its own form";
  EXPECT_EQ(form.fields(), (LayoutFields{"0.100006", "0.25", "8", "10", "3", "1", "12"}));
  // The read-back is silent.
  EXPECT_EQ(Lines(), Strings{"(DG_IMAGE,DAT_IMAGELAYOUT,MSG_SET) -> TWRC_SUCCESS"});
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET), 1u);
}

TEST_F(LayoutFormTest, CheckStatusOnSetIsLoggedAndTheAdjustedFrameShown) {
  KeepLayout(TWRC_CHECKSTATUS);
  dsm.On(DG_CONTROL, DAT_STATUS, MSG_GET).Fill([](TW_MEMREF data) {
    static_cast<TW_STATUS*>(data)->ConditionCode = TWCC_BADVALUE;
  });
  Type({"0", "0", "20", "11", "1", "1", "1"});
  form.Set();
  EXPECT_EQ(Lines(),
            Strings{"(DG_IMAGE,DAT_IMAGELAYOUT,MSG_SET) -> TWRC_CHECKSTATUS, TWCC_BADVALUE"});
  EXPECT_EQ(form.fields()[kLayoutRight], "8.5");

  // A read-back that fails leaves the fields empty.
  dsm.On(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET).Return(TWRC_FAILURE);
  form.Set();
  EXPECT_FALSE(form.valid());
  EXPECT_EQ(form.fields(), LayoutFields{});
}

TEST_F(LayoutFormTest, UnreadableFieldStopsTheSetBeforeAnyTriplet) {
  KeepLayout();
  form.Request(MSG_GET);
  log = LogStore{};
  for (const char* bad : {"", "abc", "40000", "-32769", "nan", "1e39"}) {
    dsm.ClearCalls();
    Type({"0.5", bad, "8", "10", " 7abc", "", "-1"});
    form.Set();
    EXPECT_EQ(Sent(), Strings{}) << bad;
    EXPECT_EQ(Lines().back(), kLayoutFieldError) << bad;
    EXPECT_TRUE(form.valid()) << "valid keeps its value";
    EXPECT_EQ(form.layout().Frame.Left.Frac, 0) << "the record keeps what it held";
    // Frame fields keep what was typed; the number fields are rewritten.
    EXPECT_EQ(form.fields(), (LayoutFields{"0.5", bad, "8", "10", "7", "1", "4294967295"})) << bad;
  }
  EXPECT_EQ(stored.Frame.Right.Whole, 8) << "nothing reached the Source";
  // A number field with no number fails too, and keeps its text.
  Type({"0", "0", "8", "10", "x", "1", "1"});
  form.Set();
  EXPECT_EQ(Lines().back(), kLayoutFieldError);
  EXPECT_EQ(form.fields()[kLayoutDocumentNumber], "x");
}

TEST(LayoutFieldTest, FrameAndNumberFieldsReadAtTheirLimits) {
  TW_FIX32 fix{};
  EXPECT_TRUE(ReadFrameField("-32768", fix));
  EXPECT_EQ(fix.Whole, -32768);
  EXPECT_TRUE(ReadFrameField("32767.99", fix));
  EXPECT_EQ(fix.Whole, 32767);
  EXPECT_FALSE(ReadFrameField("32768", fix)) << "would wrap to -32768";
  EXPECT_FALSE(ReadFrameField("inf", fix));
  std::string text = "99999999999";
  TW_UINT32 number = 0;
  EXPECT_TRUE(ReadNumberField(text, number));
  EXPECT_EQ(number, 0xFFFFFFFFu);
  EXPECT_EQ(text, "4294967295");
  // As "%u" reads them: a minus sign wraps, blanks lead, an empty field is 1.
  const std::pair<std::string, TW_UINT32> read[] = {{"-1", 0xFFFFFFFFu}, {"  7", 7}, {"", 1}};
  for (auto [typed, value] : read) {
    EXPECT_TRUE(ReadNumberField(typed, number)) << typed;
    EXPECT_EQ(number, value) << typed;
    EXPECT_EQ(typed, std::to_string(value));
  }
  text = "x";
  EXPECT_FALSE(ReadNumberField(text, number));
  EXPECT_FALSE(ReadFrameField("x", fix));
  EXPECT_FALSE(ReadFrameField("-32768.01", fix));
}

TEST_F(LayoutFormTest, CaptionNamesTheCurrentUnitsFromStateFour) {
  EXPECT_EQ(FrameCaptionWhenShown(3), std::nullopt);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT), 0u);
  const std::pair<int, const char*> cases[] = {{TWUN_INCHES, "TW_FRAME (inches)"},
                                               {TWUN_CENTIMETERS, "TW_FRAME (cm)"},
                                               {TWUN_PICAS, "TW_FRAME (picas)"},
                                               {TWUN_POINTS, "TW_FRAME (pts)"},
                                               {TWUN_TWIPS, "TW_FRAME (twips)"},
                                               {TWUN_PIXELS, "TW_FRAME (pixels)"},
                                               {6, "TW_FRAME (?)"}};
  for (const auto& [units, caption] : cases) {
    dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT)
        .ReplyContainer(TWON_ONEVALUE, LeBytes().U16(TWTY_UINT16).U32(units))
        .Times(1);
    EXPECT_EQ(FrameCaptionWhenShown(4), caption);
  }
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).Return(TWRC_FAILURE);
  EXPECT_EQ(FrameCaptionWhenShown(6), "TW_FRAME (inches)") << "unreadable units are inches";
  // Only opening a Source can bring other units to a page in view.
  EXPECT_TRUE(CaptionNeedsUnits(4, 3));
  for (auto [to, from] : {std::pair{5, 4}, {6, 5}, {7, 6}, {6, 7}, {4, 5}, {3, 4}, {4, 4}})
    EXPECT_FALSE(CaptionNeedsUnits(to, from)) << from << " to " << to;
}

TEST(LayoutButtonsTest, EnablingFollowsTheState) {
  const LayoutButtons none{false, false, false, false};
  const LayoutButtons expected[] = {none,
                                    none,
                                    none,
                                    none,
                                    {true, true, true, true},
                                    {true, true, false, false},
                                    {true, true, false, false},
                                    none};
  for (int state = 1; state <= 7; ++state) {
    EXPECT_EQ(LayoutButtonsFor(state, 0), expected[state]) << state;
  }
  EXPECT_EQ(LayoutButtonsFor(4, 4), std::nullopt);
  EXPECT_EQ(LayoutButtonsFor(-1, 4), none);
  EXPECT_EQ(LayoutButtonsFor(8, 4), none);
}

}  // namespace
