#include "probe/trace_control.h"

#include <algorithm>
#include <cstring>

#include "probe_window_fixture.h"
#include "trace/trace_reader.h"

namespace {

// "Record Trace..." in a session already at state 4: the trace begins with
// the open Source and what it has answered, which a replay needs, and
// "Stop Recording" ends it with a note.
TEST_F(ProbeWindowTest, ARecordingBegunFromTheLogStartsWithTheOpenSourceAndItsAnswers) {
  BeginTraceSession();
  ProbeWindow& window = Open();
  ASSERT_EQ(TWAIN_State(), 4);
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, path);
  std::strcat(path, "vorrel_late_trace.txt");
  ASSERT_TRUE(StartTraceFile(path));
  window.log().RunMenuCommand(IDM_LOG_STOP_TRACE);
  EXPECT_FALSE(TraceRecording());
  EndTraceSession();
  const Strings lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "   Session trace ended"), lines.end());

  const TraceReadResult read = ReadTraceFile(path);
  DeleteFileA(path);
  ASSERT_TRUE(read.trace) << read.error;
  const std::vector<TraceCall>& calls = read.trace->calls;
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].number, 0u);
  EXPECT_EQ(calls[0].msg, MSG_OPENDS);
  TW_IDENTITY identity;
  ASSERT_EQ(calls[0].out.size(), sizeof identity);
  std::memcpy(&identity, calls[0].out.data(), sizeof identity);
  EXPECT_STREQ(identity.ProductName, "Sample Flatbed");
  const auto supported = std::find_if(calls.begin(), calls.end(), [](const TraceCall& call) {
    return call.number == 0 && call.cap == CAP_SUPPORTEDCAPS && call.msg == MSG_GET;
  });
  ASSERT_NE(supported, calls.end());
  ASSERT_TRUE(supported->containerOut);
  EXPECT_EQ(supported->containerOut->format, TWON_ARRAY);
}

}  // namespace
