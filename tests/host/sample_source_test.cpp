// The Sample Source's state machine and transfers, driven triplet by
// triplet as a Source Manager would.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/host/host_platform.h"
#include "sample_source/image_writers.h"
#include "tests/host/sample_chart_reference.h"
#include "tests/host/sample_source_harness.h"
#include "vocab/triplet_text.h"

namespace {

using sample_test::Harness;
using sample_test::Val;

// Brings a fresh Source to `state`: 4 open, 5 enabled with its dialog, 6 a
// transfer ready, 7 one native image transferred.
void Reach(Harness& h, int state) {
  ASSERT_EQ(h.Open(), TWRC_SUCCESS);
  if (state >= 5) {
    ASSERT_EQ(h.Enable(state == 5), TWRC_SUCCESS);
  }
  if (state >= 7) platform::MemFree(h.Native());
  ASSERT_EQ(h.State(), state);
}

struct Allowed {
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  int from;
  int to;
};

// The states the TWAIN protocol allows each triplet in, written out here
// independently of the Source's own table.
constexpr Allowed kAllowed[] = {
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, 4, 7},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, 4, 7},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, 4, 7},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, 4, 4},
    {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, 4, 4},
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, 5, 7},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, 4, 7},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, 6, 7},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, 6, 6},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, 4, 6},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, 4, 6},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, 4, 6},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, 4, 4},
    {DG_CONTROL, DAT_STATUS, MSG_GET, 4, 7},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, 4, 4},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, 5, 5},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, 6, 7},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, 4, 6},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, 4, 6},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, 4, 4},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, 6, 6},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 6, 6},  // 7 only within a memory transfer
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, 6, 6},
};

// Room for any record, with a capability and a memory buffer ready to use.
struct AnyRecord {
  AnyRecord() {
    std::memset(bytes, 0, sizeof(bytes));
    auto* cap = reinterpret_cast<TW_CAPABILITY*>(bytes);
    cap->Cap = ICAP_UNITS;
    cap->ConType = TWON_DONTCARE16;
  }
  alignas(8) std::uint8_t bytes[2048];
};

TEST(SampleSourceStates, EveryTripletAnswersSeqErrorOutsideItsStates) {
  for (const Allowed& triplet : kAllowed) {
    for (int state = 4; state <= 7; ++state) {
      SCOPED_TRACE(TripletText(triplet.dg, triplet.dat, triplet.msg) + " in state " +
                   std::to_string(state));
      Harness h;
      Reach(h, state);
      AnyRecord record;
      std::vector<std::uint8_t> buffer(1 << 20);
      if (triplet.dat == DAT_IMAGEMEMXFER) {
        auto* mem = reinterpret_cast<TW_IMAGEMEMXFER*>(record.bytes);
        mem->Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                       buffer.data()};
      }
      const TW_UINT16 rc = h.Call(triplet.dg, triplet.dat, triplet.msg, record.bytes);
      const bool allowed = state >= triplet.from && state <= triplet.to;
      if (allowed) {
        EXPECT_FALSE(rc == TWRC_FAILURE && h.Condition() == TWCC_SEQERROR);
      } else {
        EXPECT_EQ(rc, TWRC_FAILURE);
        EXPECT_EQ(h.Condition(), TWCC_SEQERROR);
        EXPECT_EQ(h.State(), state);
      }
      if (triplet.dat == DAT_CAPABILITY && rc == TWRC_SUCCESS) {
        platform::MemFree(reinterpret_cast<TW_CAPABILITY*>(record.bytes)->hContainer);
      }
      if (triplet.dat == DAT_IMAGENATIVEXFER)
        platform::MemFree(*reinterpret_cast<TW_HANDLE*>(record.bytes));
    }
  }
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
}

TEST(SampleSourceStates, UnknownTripletsAndMissingRecordsAreRefused) {
  Harness h;
  Reach(h, 4);
  TW_STATUS status{};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_CIECOLOR, MSG_GET, &status), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADPROTOCOL);
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_PALETTE8, MSG_SET, &status), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADPROTOCOL);
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
  // DAT_STATUS reports the triplet before it, again and again, until another
  // triplet succeeds.
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
  EXPECT_EQ(h.Get(MSG_GET, ICAP_UNITS).rc, TWRC_SUCCESS);
  EXPECT_EQ(h.Condition(), TWCC_SUCCESS);
}

TEST(SampleSourceStates, JobWithoutUiCountsPagesDownAndEachPageShowsItsNumber) {
  Harness h;
  Reach(h, 4);
  ASSERT_EQ(h.SetOne(CAP_XFERCOUNT, TWTY_INT16, 3), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 50), TWRC_SUCCESS);
  ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(h.host.notified, std::vector<TW_UINT16>{MSG_XFERREADY});
  EXPECT_EQ(h.host.dialogsShown, 0);
  EXPECT_EQ(h.State(), 6);
  // The Manager delivered it, so the Source has nothing to hand over itself.
  TW_EVENT event{nullptr, MSG_NULL};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);

  const TW_UINT16 expectedCounts[] = {2, 1, 0};
  for (int page = 1; page <= 3; ++page) {
    SCOPED_TRACE(page);
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(h.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
    EXPECT_EQ(Val(pending.Count), 4 - page);
    platform::MemoryHandle image = h.Native();
    {
      platform::MemLockGuard lock(image);
      const auto dib = chart_reference::ReadDib(static_cast<const std::uint8_t*>(lock.data()),
                                                platform::MemSize(image));
      EXPECT_EQ(dib.width, 425);
      EXPECT_EQ(dib.height, 1100);
      EXPECT_EQ(dib.values, chart_reference::ExpectedValues(425, 1100, page, TWPT_BW, 1, {}));
    }
    platform::MemFree(image);
    TW_UINT16 count = 0xABCD;
    ASSERT_EQ(h.EndXfer(&count), TWRC_SUCCESS);
    EXPECT_EQ(count, expectedCounts[page - 1]);
    EXPECT_EQ(h.State(), page < 3 ? 6 : 5);
  }
  TW_USERINTERFACE ui{};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  TW_IDENTITY self = h.source().identity();
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self), TWRC_SUCCESS);
  EXPECT_EQ(h.module().SessionCount(), 0u);
  const auto stats = platform::host::GetMemoryStats();
  EXPECT_EQ(stats.liveBlocks, 0);
  EXPECT_EQ(stats.outstandingLocks, 0);
}

TEST(SampleSourceStates, FeederJobAndAbortingThePendingImages) {
  Harness h;
  Reach(h, 4);
  ASSERT_EQ(h.SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 1), TWRC_SUCCESS);
  ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(Val(pending.Count), sample::kFeederSheets);
  // Skipping an image ends it without a transfer.
  ASSERT_EQ(h.EndXfer(&pending.Count), TWRC_SUCCESS);
  EXPECT_EQ(Val(pending.Count), sample::kFeederSheets - 1);
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(Val(pending.Count), 0);
  EXPECT_EQ(h.State(), 5);
}

TEST(SampleSourceStates, EventsTheManagerRefusesComeThroughProcessEvent) {
  Harness h;
  h.host.deliver = false;
  Reach(h, 4);
  ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(h.host.wakes, 1);
  TW_EVENT event{nullptr, MSG_NULL};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_DSEVENT);
  EXPECT_EQ(event.TWMessage, MSG_XFERREADY);
  // Handed over once only.
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
  EXPECT_EQ(event.TWMessage, MSG_NULL);
}

TEST(SampleSourceStates, DialogScansOnRequestAndCancelAsksToBeClosed) {
  Harness h;
  Reach(h, 4);
  ASSERT_EQ(h.Enable(true), TWRC_SUCCESS);
  EXPECT_TRUE(h.host.dialogOpen);
  EXPECT_TRUE(h.host.notified.empty());
  EXPECT_EQ(h.State(), 5);

  h.source().OnUserCancel();
  EXPECT_EQ(h.host.notified, std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
  EXPECT_EQ(h.State(), 5);

  h.source().OnUserScan();
  EXPECT_FALSE(h.host.dialogOpen);
  EXPECT_EQ(h.host.notified.back(), MSG_XFERREADY);
  EXPECT_EQ(h.State(), 6);
  h.source().OnUserScan();  // not in state 5: nothing
  EXPECT_EQ(h.host.notified.size(), 2u);

  platform::MemFree(h.Native());
  ASSERT_EQ(h.EndXfer(), TWRC_SUCCESS);
  // The job is over: the dialog is back for the next one.
  EXPECT_TRUE(h.host.dialogOpen);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_FALSE(h.host.dialogOpen);
  EXPECT_EQ(h.State(), 4);
}

// Runs a memory transfer with buffers of `bufferBytes`, returning the image
// assembled from the strips by their offsets.
std::vector<std::uint8_t> MemoryTransfer(Harness& h, std::size_t bufferBytes, int* strips) {
  TW_SETUPMEMXFER setup{};
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  TW_IMAGEINFO info{};
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  std::vector<std::uint8_t> buffer(bufferBytes);
  std::vector<std::uint8_t> values;
  TW_UINT32 nextRow = 0;
  *strips = 0;
  for (TW_UINT16 rc = TWRC_SUCCESS; rc == TWRC_SUCCESS;) {
    TW_IMAGEMEMXFER strip{};
    strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                    buffer.data()};
    rc = h.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
    if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
      ADD_FAILURE() << "rc " << rc;
      break;
    }
    ++*strips;
    EXPECT_EQ(Val(strip.YOffset), nextRow);
    EXPECT_EQ(Val(strip.Columns), static_cast<TW_UINT32>(info.ImageWidth));
    EXPECT_EQ(Val(strip.BytesPerRow), Val(setup.MinBufSize));
    EXPECT_EQ(Val(strip.BytesWritten), strip.Rows * strip.BytesPerRow);
    EXPECT_LE(Val(strip.BytesWritten), buffer.size());
    for (TW_UINT32 r = 0; r < strip.Rows; ++r) {
      for (int x = 0; x < info.ImageWidth; ++x) {
        chart_reference::AppendPixel(buffer.data() + r * strip.BytesPerRow, x, info.BitsPerPixel,
                                     false, values);
      }
    }
    nextRow += strip.Rows;
    EXPECT_EQ(h.State(), 7);
  }
  EXPECT_EQ(nextRow, static_cast<TW_UINT32>(info.ImageLength));
  return values;
}

TEST(SampleSourceTransfers, MemoryStripsTileTheImageExactly) {
  Harness h;
  Reach(h, 4);
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 50), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_YRESOLUTION, TWTY_FIX32, 50), TWRC_SUCCESS);
  const std::size_t row = sample::PaddedRowBytes(425, 24);  // 1276
  const auto expected = chart_reference::ExpectedValues(425, 550, 1, TWPT_RGB, 24, {});
  // One row, a size between rows, and more than the whole image.
  const std::size_t sizes[] = {row, row * 7 + 5, row * 600};
  const int expectedStrips[] = {550, 79, 1};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(sizes[i]);
    ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
    int strips = 0;
    EXPECT_EQ(MemoryTransfer(h, sizes[i], &strips), expected);
    EXPECT_EQ(strips, expectedStrips[i]);
    // After the last strip another request is out of sequence.
    std::vector<std::uint8_t> buffer(row);
    TW_IMAGEMEMXFER more{};
    more.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(row), buffer.data()};
    EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &more), TWRC_FAILURE);
    EXPECT_EQ(h.Condition(), TWCC_SEQERROR);
    ASSERT_EQ(h.EndXfer(), TWRC_SUCCESS);
    TW_USERINTERFACE ui{};
    ASSERT_EQ(h.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
}

TEST(SampleSourceTransfers, MemoryBufferIsBoundedByItsLengthAndItsBlock) {
  Harness h;
  Reach(h, 6);
  TW_SETUPMEMXFER setup{};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  std::vector<std::uint8_t> small(setup.MinBufSize - 1);
  TW_IMAGEMEMXFER strip{};
  strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(small.size()), small.data()};
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
  EXPECT_EQ(h.State(), 6);
  strip.Memory.TheMem = nullptr;
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);

  // A handle claiming a Length beyond its block gets only the block's rows.
  platform::MemoryHandle block = platform::MemAlloc(setup.MinBufSize * 3);
  strip.Memory = {TWMF_APPOWNS | TWMF_HANDLE, setup.MinBufSize * 100, block};
  EXPECT_EQ(h.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_SUCCESS);
  EXPECT_EQ(Val(strip.Rows), 3u);
  EXPECT_EQ(platform::host::LockCount(block), 0);
  platform::MemFree(block);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(SampleSourceTransfers, FileTransferWritesTheBitmapWhereTheApplicationSaid) {
  Harness h;
  Reach(h, 4);
  ASSERT_EQ(h.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_PALETTE), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 50), TWRC_SUCCESS);
  TW_SETUPFILEXFER setup{};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(std::string(setup.FileName), testing::TempDir() + "vorrel_sample.bmp");
  EXPECT_EQ(Val(setup.Format), TWFF_BMP);
  // Palette images cannot go to JFIF.
  setup.Format = TWFF_JFIF;
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  EXPECT_EQ(h.Condition(), TWCC_BADVALUE);
  const std::string path = testing::TempDir() + "sample_file_transfer.bmp";
  std::snprintf(setup.FileName, sizeof(setup.FileName), "%s", path.c_str());
  setup.Format = TWFF_BMP;
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  // An unterminated name is refused rather than read past.
  TW_SETUPFILEXFER unterminated{};
  std::memset(unterminated.FileName, 'x', sizeof(unterminated.FileName));
  unterminated.Format = TWFF_BMP;
  EXPECT_EQ(h.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &unterminated), TWRC_FAILURE);

  ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  EXPECT_EQ(h.State(), 7);
  const std::vector<std::uint8_t> file = ReadFile(path);
  ASSERT_GT(file.size(), 14u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  const auto dib = chart_reference::ReadDib(file.data() + 14, file.size() - 14);
  EXPECT_EQ(dib.values,
            chart_reference::ExpectedValues(425, 1100, 1, TWPT_PALETTE, 8, dib.palette));
  std::remove(path.c_str());
}

}  // namespace
