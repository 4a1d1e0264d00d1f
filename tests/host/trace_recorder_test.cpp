#include "trace/trace_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "caps/capability_calls.h"
#include "imaging/dib.h"
#include "pages/log.h"
#include "platform/memory.h"
#include "session_test_support.h"
#include "trace/trace_reader.h"

namespace {

class TraceRecorderTest : public SessionTest {
 protected:
  ~TraceRecorderTest() override { SetCallObserver(nullptr); }

  // A session from state 1: open, a get, a set, enable, three events not
  // the Source's and its MSG_XFERREADY, a native transfer and a memory strip.
  void RunSession() {
    TWAIN_SetUIHidden(true);
    ASSERT_TRUE(TWAIN_BindManager());
    ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    ASSERT_TRUE(TWAIN_SourceOpenDefault());
    dsm.OnCap(ICAP_PIXELTYPE, MSG_GET).ReplyContainer(TWON_ONEVALUE, {4, 0, 2, 0, 0, 0});
    CONTAINER_Free(TWAIN_Get(ICAP_PIXELTYPE));
    TWAIN_SetCapOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY);
    ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
    platform::Message message{};
    TW_EVENT event{&message, MSG_NULL};
    for (int i = 0; i < 3; ++i) TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    dsm.QueueEvent(MSG_XFERREADY);
    TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);

    DibHandle dib = DIB_Create(8, 5, 3);
    ASSERT_TRUE(dib);
    {
      platform::MemLockGuard lock(dib);
      DibLayout layout;
      ASSERT_EQ(DIB_CheckLayout(lock.data(), platform::MemSize(dib), &layout), DibCheck::kOk);
      auto* bytes = static_cast<std::uint8_t*>(lock.data());
      for (std::size_t i = 0; i < layout.pixelBytes; ++i) bytes[layout.pixelOffset + i] = i * 13;
      dibBytes.assign(bytes, bytes + layout.pixelOffset + layout.pixelBytes);
    }
    dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET)
        .Return(TWRC_XFERDONE)
        .Fill([dib](TW_MEMREF data) { *static_cast<TW_HANDLE*>(data) = dib; });
    TW_HANDLE image = nullptr;
    TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image);
    platform::MemFree(image);

    // The Source claims more than the 16 bytes of the buffer it was given.
    stripBytes = {'s', 't', 'r', 'i', 'p', '\n', 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    dsm.On(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET).Return(TWRC_XFERDONE).Fill([this](TW_MEMREF data) {
      auto* strip = static_cast<TW_IMAGEMEMXFER*>(data);
      std::memcpy(strip->Memory.TheMem, stripBytes.data(), stripBytes.size());
      strip->BytesWritten = 1000;
      strip->Columns = 5;
      strip->Rows = 3;
    });
    std::uint8_t buffer[16] = {};
    TW_IMAGEMEMXFER strip{};
    strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, sizeof buffer, buffer};
    TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);

    // A file transfer: the Source writes the file the setup named.
    fileBytes = {'B', 'M', 0, '\n', 0xFF, 1, 2};
    const std::string path = testing::TempDir() + "vorrel_trace_transfer.bmp";
    dsm.On(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET).Return(TWRC_SUCCESS);
    dsm.On(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET).Run([&](const fake::Call&, TW_MEMREF) {
      std::FILE* file = std::fopen(path.c_str(), "wb");
      std::fwrite(fileBytes.data(), 1, fileBytes.size(), file);
      std::fclose(file);
      return TWRC_XFERDONE;
    });
    TW_SETUPFILEXFER setup{};
    std::snprintf(setup.FileName, sizeof setup.FileName, "%s", path.c_str());
    setup.Format = TWFF_BMP;
    TWAIN_DS(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
    TWAIN_DS(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
    std::remove(path.c_str());
  }

  Trace Recorded(const StringTraceOutput& output) {
    const TraceReadResult read = ReadTraceText(output.text);
    EXPECT_TRUE(read.trace) << read.error << "\n" << output.text;
    return read.trace.value_or(Trace{});
  }

  std::vector<std::uint8_t> dibBytes;
  std::vector<std::uint8_t> stripBytes;
  std::vector<std::uint8_t> fileBytes;
};

const TraceCall* Find(const Trace& trace, TW_UINT16 dat, TW_UINT16 msg) {
  for (const TraceCall& call : trace.calls)
    if (call.dat == dat && call.msg == msg) return &call;
  return nullptr;
}

TEST_F(TraceRecorderTest, ASessionReadsBackAsTheManagerSawIt) {
  StringTraceOutput output;
  TraceRecorder recorder(output, true);
  ASSERT_TRUE(recorder.Start({8, "Windows test", "C:\\WINDOWS\\TWAIN_32.DLL", "1.0", "1.26"}));
  SetCallObserver(&recorder);
  RunSession();
  SetCallObserver(nullptr);
  const Trace trace = Recorded(output);

  // Every triplet the Manager received, in order and as it arrived, but the
  // events the Source did not claim, which are counted.
  std::vector<const fake::Call*> sent;
  for (const fake::Call& call : dsm.Calls())
    if (!call.Is(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT) || call.returned == TWRC_DSEVENT)
      sent.push_back(&call);
  ASSERT_EQ(trace.calls.size(), sent.size()) << output.text;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const TraceCall& call = trace.calls[i];
    SCOPED_TRACE(CallHeadText(call));
    EXPECT_EQ(call.dg, sent[i]->dg);
    EXPECT_EQ(call.dat, sent[i]->dat);
    EXPECT_EQ(call.msg, sent[i]->msg);
    EXPECT_EQ(call.toSource, !sent[i]->toManager);
    // Copied out: the identities are packed records.
    const TW_UINT32 originId = sent[i]->origin.Id;
    const TW_UINT32 destinationId = call.toSource ? sent[i]->destination.Id : 0;
    EXPECT_EQ(call.originId, originId);
    EXPECT_EQ(call.destinationId, destinationId);
    EXPECT_TRUE(call.returned);
    EXPECT_EQ(call.rc, sent[i]->returned);
    // Pointers are written as whether they were set.
    std::vector<std::uint8_t> record = sent[i]->record;
    MaskTracePointers(call.dat, record.data(), record.size(), sizeof(void*));
    EXPECT_EQ(call.in, record);
    if (!sent[i]->container.empty()) {
      ASSERT_TRUE(call.containerIn);
      EXPECT_EQ(call.containerIn->bytes, sent[i]->container);
    }
  }
  const TraceCall* claimed = Find(trace, DAT_EVENT, MSG_PROCESSEVENT);
  ASSERT_TRUE(claimed);
  EXPECT_EQ(claimed->unclaimedEventsBefore, 3u);

  const TraceCall* get = Find(trace, DAT_CAPABILITY, MSG_GET);
  ASSERT_TRUE(get && get->containerOut);
  EXPECT_EQ(get->cap, ICAP_PIXELTYPE);
  EXPECT_EQ(get->containerOut->bytes, (std::vector<std::uint8_t>{4, 0, 2, 0, 0, 0}));
  EXPECT_NE(output.text.find("  ~ uint16 ONEVALUE = TWPT_RGB\n"), std::string::npos);
  const TraceCall* set = Find(trace, DAT_CAPABILITY, MSG_SET);
  ASSERT_TRUE(set && set->containerIn);
  EXPECT_FALSE(set->containerOut);
  // The container's handle is written as "set", so two runs' traces agree.
  std::vector<std::uint8_t> handle(sizeof(void*), 0);
  handle[0] = 1;
  EXPECT_EQ(std::vector<std::uint8_t>(set->in.begin() + 4, set->in.end()), handle);

  const TraceCall* native = Find(trace, DAT_IMAGENATIVEXFER, MSG_GET);
  ASSERT_TRUE(native && native->blobs.size() == 1);
  EXPECT_EQ(native->blobs[0].kind, BlobKind::kDib);
  EXPECT_EQ(native->blobs[0].bytes, dibBytes);
  const TraceCall* strip = Find(trace, DAT_IMAGEMEMXFER, MSG_GET);
  ASSERT_TRUE(strip && strip->blobs.size() == 1);
  EXPECT_EQ(strip->blobs[0].kind, BlobKind::kStrip);
  EXPECT_EQ(strip->blobs[0].bytes, stripBytes);  // what fits the buffer, not what was claimed
  const TraceCall* file = Find(trace, DAT_IMAGEFILEXFER, MSG_GET);
  ASSERT_TRUE(file && file->blobs.size() == 1);
  EXPECT_EQ(file->blobs[0].kind, BlobKind::kFile);
  EXPECT_EQ(file->blobs[0].bytes, fileBytes);
}

TEST_F(TraceRecorderTest, WithoutImagesOnlyTheirSizeAndChecksumAreWritten) {
  StringTraceOutput output;
  TraceRecorder recorder(output, false);
  recorder.Start({});
  SetCallObserver(&recorder);
  RunSession();
  SetCallObserver(nullptr);
  const Trace trace = Recorded(output);
  // Begun before the binding, the header still names the Manager bound.
  EXPECT_EQ(trace.machine.manager, dsm.path());
  auto summary = [](BlobKind kind, int width, int height, int depth,
                    const std::vector<std::uint8_t>& bytes) {
    return std::vector<TraceImageSummary>{
        {kind, width, height, depth, bytes.size(), Crc32(bytes.data(), bytes.size())}};
  };
  for (const auto& [dat, image] :
       {std::pair{DAT_IMAGENATIVEXFER, summary(BlobKind::kDib, 5, 3, 8, dibBytes)},
        std::pair{DAT_IMAGEMEMXFER, summary(BlobKind::kStrip, 5, 3, 0, stripBytes)},
        std::pair{DAT_IMAGEFILEXFER, summary(BlobKind::kFile, 0, 0, 0, fileBytes)}}) {
    const TraceCall* call = Find(trace, dat, MSG_GET);
    ASSERT_TRUE(call);
    EXPECT_TRUE(call->blobs.empty());
    EXPECT_TRUE(call->images == image) << CallHeadText(*call);
  }
}

// A Source that never returns leaves its call on disk; a recording begun
// with a Source open starts with that Source.
TEST_F(TraceRecorderTest, TheCallIsWrittenBeforeItIsMadeAndAnOpenSourceFirst) {
  GoTo(4);
  StringTraceOutput output;
  TraceRecorder recorder(output, true);
  recorder.Start({});
  SetCallObserver(&recorder);
  std::string seenDuringCall;
  dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Run([&](const fake::Call&, TW_MEMREF) {
    seenDuringCall = output.text;
    return TWRC_SUCCESS;
  });
  TWAIN_SourceEnable(nullptr);
  SetCallObserver(nullptr);
  EXPECT_NE(seenDuringCall.find("DG_CONTROL / DAT_USERINTERFACE / MSG_ENABLEDS"), std::string::npos)
      << seenDuringCall;
  const Trace trace = Recorded(output);
  ASSERT_FALSE(trace.calls.empty());
  EXPECT_EQ(trace.calls[0].number, 0u);
  EXPECT_EQ(trace.calls[0].msg, MSG_OPENDS);
  ASSERT_EQ(trace.calls[0].out.size(), sizeof(TW_IDENTITY));
  TW_IDENTITY identity;
  std::memcpy(&identity, trace.calls[0].out.data(), sizeof identity);
  EXPECT_STREQ(identity.ProductName, "Flatbed");
}

// A full disk: one note says the recording stopped, and the session goes on.
TEST_F(TraceRecorderTest, AFailedWriteStopsTheRecordingWithOneNote) {
  struct FullDisk : TraceOutput {
    std::size_t room = 300;
    bool Write(const void*, std::size_t size) override {
      if (size > room) return false;
      room -= size;
      return true;
    }
    bool Flush() override { return true; }
  } output;
  std::vector<std::string> notes;
  SetLogSink([](const char* text, bool,
                void* c) { static_cast<std::vector<std::string>*>(c)->push_back(text); },
             &notes);
  TraceRecorder recorder(output, true);
  recorder.Start({});
  SetCallObserver(&recorder);
  RunSession();
  SetCallObserver(nullptr);
  SetLogSink(nullptr, nullptr);
  EXPECT_FALSE(recorder.ok());
  EXPECT_EQ(std::count(notes.begin(), notes.end(),
                       std::string(kLogNotePrefix) +
                           "The trace file cannot be written: recording stopped"),
            1);
}

}  // namespace
