#include "trace/trace_session.h"

#include <gtest/gtest.h>

#include "caps/capability_calls.h"
#include "session_test_support.h"
#include "trace/trace_reader.h"

namespace {

class TraceSessionTest : public SessionTest {
 protected:
  ~TraceSessionTest() override { SetCallObserver(nullptr); }

  // The calls numbered 0 of a recording begun now.
  std::vector<TraceCall> StartingCalls() {
    auto output = std::make_unique<StringTraceOutput>();
    StringTraceOutput& text = *output;
    EXPECT_TRUE(session.Start(std::move(output), true, {}));
    const TraceReadResult read = ReadTraceText(text.text);
    EXPECT_TRUE(read.trace) << read.error;
    std::vector<TraceCall> calls;
    for (const TraceCall& call : read.trace ? read.trace->calls : calls)
      if (call.number == 0) calls.push_back(call);
    session.Stop();
    return calls;
  }

  TraceSession session;
};

// A recording begun mid-connection starts with the Source and what it has
// answered; a SET forgets the values it may have moved, and a new Source
// all of its predecessor's.
TEST_F(TraceSessionTest, ARecordingBegunLateStartsWithTheAnswersAlreadyGiven) {
  GoTo(4);
  SetCallObserver(&session);
  dsm.OnCap(ICAP_PIXELTYPE, MSG_GET).ReplyContainer(TWON_ONEVALUE, {4, 0, 2, 0, 0, 0});
  dsm.OnCap(ICAP_UNITS, MSG_GETDEFAULT).ReplyContainer(TWON_ONEVALUE, {4, 0, 0, 0, 0, 0});
  CONTAINER_Free(TWAIN_Get(ICAP_PIXELTYPE));
  CONTAINER_Free(TWAIN_GetDefault(ICAP_UNITS));
  CONTAINER_Free(TWAIN_Get(ICAP_BITDEPTH));  // not answered: nothing known
  dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, {4, 0, 1, 0, 0, 0});
  EXPECT_EQ(TWAIN_GetCurrentUint16(ICAP_UNITS, 9), 1);  // read without a container handle

  std::vector<TraceCall> calls = StartingCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].msg, MSG_OPENDS);
  EXPECT_EQ(calls[1].cap, ICAP_PIXELTYPE);
  EXPECT_EQ(calls[1].msg, MSG_GET);
  ASSERT_TRUE(calls[1].containerOut);
  EXPECT_EQ(calls[1].containerOut->bytes, (std::vector<std::uint8_t>{4, 0, 2, 0, 0, 0}));
  EXPECT_EQ(calls[2].cap, ICAP_UNITS);
  EXPECT_EQ(calls[2].msg, MSG_GETCURRENT);
  EXPECT_EQ(calls[3].cap, ICAP_UNITS);
  EXPECT_EQ(calls[3].msg, MSG_GETDEFAULT);

  dsm.OnCap(ICAP_PIXELTYPE, MSG_SET).Return(TWRC_SUCCESS);
  TWAIN_SetCapOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY);
  calls = StartingCalls();  // the GETCURRENT answer is forgotten with the GET
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].msg, MSG_GETDEFAULT);

  ASSERT_TRUE(TWAIN_SourceClose());
  ASSERT_TRUE(TWAIN_SourceOpenDefault());
  EXPECT_EQ(StartingCalls().size(), 1u);
}

}  // namespace
