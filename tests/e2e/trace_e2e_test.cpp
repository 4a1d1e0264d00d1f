// A session recorded through Wine's Manager against the Sample Flatbed and
// read back: the DIB in the trace is the one the probe received.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/dib.h"
#include "platform/memory.h"
#include "session/call_seam.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "tests/e2e/sample_e2e_support.h"
#include "trace/trace_reader.h"
#include "trace/trace_recorder.h"

namespace {

using namespace sample_e2e;

struct ObserverScope {
  explicit ObserverScope(CallObserver* observer) { SetCallObserver(observer); }
  ~ObserverScope() { SetCallObserver(nullptr); }
};

TEST(TraceE2eTest, ANativeTransferIsRecordedAsReceived) {
  TWAIN_Startup();
  char folder[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
  const std::string path = std::string(folder) + "vorrel_e2e.vtrace";
  std::vector<std::uint8_t> received;
  {
    FileTraceOutput output(path);
    ASSERT_TRUE(output.IsOpen());
    TraceRecorder recorder(output, true);
    ASSERT_TRUE(recorder.Start({}));
    ObserverScope scope(&recorder);
    ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    ASSERT_TRUE(OpenSource(kFlatbed));
    ASSERT_TRUE(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 50));
    TWAIN_SetUIHidden(true);
    ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
    ASSERT_EQ(PumpForSourceEvent(5000), MSG_XFERREADY);
    TW_HANDLE image = nullptr;
    ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image));
    DibLayout layout;
    ASSERT_EQ(DIB_CheckBlock(image, &layout), DibCheck::kOk);
    {
      platform::MemLockGuard lock(image);
      const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
      received.assign(bytes, bytes + layout.pixelOffset + layout.pixelBytes);
    }
    platform::MemFree(image);
    EXPECT_TRUE(TWAIN_XferEnd());
    TWAIN_UnbindManager();
    EXPECT_TRUE(recorder.ok());
  }
  TWAIN_Shutdown();

  const TraceReadResult read = ReadTraceFile(path);
  ASSERT_TRUE(read.trace) << read.error;
  const TraceCall* native = nullptr;
  bool opened = false;
  for (const TraceCall& call : read.trace->calls) {
    EXPECT_TRUE(call.returned) << CallHeadText(call);
    if (call.dat == DAT_IMAGENATIVEXFER) native = &call;
    if (call.msg == MSG_OPENDS && call.rc == TWRC_SUCCESS && call.out.size() == sizeof(TW_IDENTITY))
      opened = NameOf(*reinterpret_cast<const TW_IDENTITY*>(call.out.data())) == kFlatbed;
  }
  EXPECT_TRUE(opened);
  ASSERT_TRUE(native && native->blobs.size() == 1);
  EXPECT_EQ(native->blobs[0].bytes, received);
  DeleteFileA(path.c_str());
}

}  // namespace
