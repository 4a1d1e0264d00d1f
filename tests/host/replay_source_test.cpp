// The Replay Source driven triplet by triplet as a Source Manager would,
// playing traces written by the trace writer and read back from files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "imaging/dib.h"
#include "replay/replay_module.h"
#include "tests/host/sample_source_harness.h"
#include "trace/trace_writer.h"

namespace {

using sample_test::Val;

constexpr TW_UINT32 kSourceId = 5;

replay::Bytes OneValue16(TW_UINT16 value) {
  return {TWTY_UINT16 & 0xFF,
          0,
          static_cast<std::uint8_t>(value),
          static_cast<std::uint8_t>(value >> 8),
          0,
          0};
}

template <class T>
replay::Bytes RecordBytes(const T& record, std::size_t size = sizeof(T)) {
  replay::Bytes bytes(size);
  std::memcpy(bytes.data(), &record, std::min(size, sizeof(T)));
  return bytes;
}

// A recorded session, written out as the probe writes one.
struct Recording {
  Trace trace;
  std::uint32_t next = 1;

  explicit Recording(const char* product = "Acme Scanner 9000", int pointerBytes = 8) {
    trace.machine.pointerBytes = pointerBytes;
    TW_IDENTITY identity{};
    identity.Id = kSourceId;
    std::strcpy(identity.ProductName, product);
    std::strcpy(identity.Manufacturer, "Acme");
    identity.ProtocolMajor = 2;
    TraceCall& open = Add(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, TWRC_SUCCESS);
    open.toSource = false;
    open.destinationId = 0;
    open.out = RecordBytes(identity);
  }
  TraceCall& Add(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 rc, TW_UINT16 cap = 0) {
    TraceCall call;
    call.number = next++;
    call.toSource = true;
    call.destinationId = kSourceId;
    call.dg = dg;
    call.dat = dat;
    call.msg = msg;
    call.cap = cap;
    call.returned = true;
    call.rc = rc;
    trace.calls.push_back(call);
    return trace.calls.back();
  }
  void Status(TW_UINT16 cc) { Add(DG_CONTROL, DAT_STATUS, MSG_GET, TWRC_SUCCESS).cc = cc; }
  void Cap(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 rc, const replay::Bytes& container = {}) {
    TraceCall& call = Add(DG_CONTROL, DAT_CAPABILITY, msg, rc, cap);
    if (!container.empty())
      (msg == MSG_SET ? call.containerIn : call.containerOut) =
          TraceContainer{TWON_ONEVALUE, container};
  }
  std::string Save(const char* name) const {
    const std::string path = testing::TempDir() + name;
    FileTraceOutput output(path);
    TraceWriter writer(output);
    writer.WriteHeader(trace.machine);
    for (const TraceCall& call : trace.calls) writer.WriteCall(call);
    return path;
  }
};

// The Replay Source opened through its module, with a recording host.
class Replay {
 public:
  explicit Replay(std::string path, std::string name = {})
      : module_(
            [this](const TW_ENTRYPOINT* entry) {
              return std::make_unique<sample_test::RecordingHost>(host, entry);
            },
            [this] { return settings; }) {
    settings.tracePath = std::move(path);
    settings.productName = std::move(name);
    module_.SetTrace([this](const std::string& line) { lines += line + "\n"; });
    app.Id = 3;
  }
  TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return module_.Entry(&app, dg, dat, msg, data);
  }
  TW_UINT16 Condition() {
    TW_STATUS status{};
    Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
  }
  TW_UINT16 Open(TW_IDENTITY* identity = nullptr) {
    TW_IDENTITY local{};
    if (!identity) identity = &local;
    identity->Id = 9;
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, identity);
  }
  int State() { return module_.Session(app.Id) ? module_.Session(app.Id)->state() : 3; }
  TW_UINT16 Enable() {
    TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  TW_UINT16 EndXfer(TW_UINT16* count = nullptr) {
    TW_PENDINGXFERS pending{};
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    if (count) *count = pending.Count;
    return rc;
  }
  sample_test::Answer Get(TW_UINT16 msg, TW_UINT16 cap) {
    TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
    sample_test::Answer answer;
    answer.rc = Call(DG_CONTROL, DAT_CAPABILITY, msg, &record);
    answer.conType = record.ConType;
    if (record.hContainer) {
      platform::MemLockGuard lock(record.hContainer);
      const auto* data = static_cast<const std::uint8_t*>(lock.data());
      answer.bytes.assign(data, data + platform::MemSize(record.hContainer));
    }
    platform::MemFree(record.hContainer);
    return answer;
  }
  TW_UINT16 Set(TW_UINT16 cap, const replay::Bytes& container) {
    platform::MemoryHandle block =
        platform::MemAlloc(container.size() + 2);  // padded, as blocks may be
    {
      platform::MemLockGuard lock(block);
      std::memset(lock.data(), 0, container.size() + 2);
      std::memcpy(lock.data(), container.data(), container.size());
    }
    TW_CAPABILITY record{cap, TWON_ONEVALUE, block};
    const TW_UINT16 rc = Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
    platform::MemFree(block);
    return rc;
  }
  replay::Bytes Native() {
    TW_HANDLE image = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_XFERDONE);
    replay::Bytes bytes;
    if (image) {
      platform::MemLockGuard lock(image);
      const auto* data = static_cast<const std::uint8_t*>(lock.data());
      bytes.assign(data, data + platform::MemSize(image));
    }
    platform::MemFree(image);
    return bytes;
  }
  // Strips into a buffer of `bufferRows` rows of `stride` bytes, gathered top-down.
  replay::Bytes Memory(std::size_t stride, std::size_t bufferRows, int* strips) {
    replay::Bytes buffer(stride * bufferRows), rows;
    TW_UINT16 rc;
    *strips = 0;
    do {
      TW_IMAGEMEMXFER xfer{};
      xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                     buffer.data()};
      rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
      if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) break;
      EXPECT_EQ(Val(xfer.YOffset) * stride, rows.size());
      rows.insert(rows.end(), buffer.begin(), buffer.begin() + xfer.BytesWritten);
      ++*strips;
    } while (rc == TWRC_SUCCESS);
    EXPECT_EQ(rc, TWRC_XFERDONE);
    return rows;
  }

  replay::ReplaySettings settings;
  sample_test::HostRecord host;
  TW_IDENTITY app{};
  std::string lines;

 private:
  replay::ReplayModule module_;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST(ReplaySourceIdentity, PresentsTheRecordedSourceAsAReplayAndRefusesADamagedTrace) {
  const std::string path = Recording().Save("a_rather_long_customer_trace_name.vtrace");
  {
    Replay replay(path);
    TW_IDENTITY identity{};
    ASSERT_EQ(replay.Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_STREQ(identity.ProductName, "Acme Scanner 9000");
    EXPECT_STREQ(identity.Manufacturer, "Acme");
    EXPECT_EQ(Val(identity.ProtocolMajor), 2);
    // As much of the file name as 33 characters hold.
    EXPECT_STREQ(identity.Version.Info, "replay a_rather_long_customer_tra");
    ASSERT_EQ(replay.Open(&identity), TWRC_SUCCESS);
    EXPECT_EQ(Val(identity.Id), 9u);
    EXPECT_STREQ(identity.ProductName, "Acme Scanner 9000");
  }
  {
    Replay renamed(path, "Acme Replay");
    TW_IDENTITY identity{};
    ASSERT_EQ(renamed.Open(&identity), TWRC_SUCCESS);
    EXPECT_STREQ(identity.ProductName, "Acme Replay");
  }
  // A damaged trace, and none at all: MSG_OPENDS fails and says why.
  std::string text = ReadWhole(path);
  text.replace(text.find("#1 "), 3, "#x ");
  const std::string damaged = testing::TempDir() + "damaged.vtrace";
  std::ofstream(damaged, std::ios::binary) << text;
  for (const std::string& chosen : {damaged, std::string()}) {
    Replay replay(chosen);
    EXPECT_EQ(replay.Open(), TWRC_FAILURE);
    EXPECT_EQ(replay.Condition(), TWCC_OPERATIONERROR);
    EXPECT_EQ(replay.State(), 3);
    EXPECT_NE(replay.lines.find(chosen.empty() ? "no trace chosen" : "damaged.vtrace: line "),
              std::string::npos)
        << replay.lines;
  }
}

TEST(ReplaySourceIdentity, SettingsFileNamesTheTraceAndTheProduct) {
  const replay::ReplaySettings s = replay::ParseSettingsText(
      "# the customer's\r\nC:\\traces\\acme.vtrace\r\nname=Acme Replay\n");
  EXPECT_EQ(s.tracePath, "C:\\traces\\acme.vtrace");
  EXPECT_EQ(s.productName, "Acme Replay");
}

TEST(ReplaySourceCapabilities, AnswersAsRecordedAndFollowsARecordedSet) {
  Recording r;
  r.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, TWRC_SUCCESS, OneValue16(TWPT_RGB));
  r.Cap(MSG_GET, ICAP_UNITS, TWRC_FAILURE);
  r.Status(TWCC_BADCAP);
  r.Cap(MSG_SET, ICAP_PIXELTYPE, TWRC_CHECKSTATUS, OneValue16(TWPT_GRAY));
  r.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, TWRC_SUCCESS, OneValue16(TWPT_GRAY));
  r.Cap(MSG_SET, ICAP_PIXELTYPE, TWRC_SUCCESS, OneValue16(TWPT_RGB));
  r.Cap(MSG_GETCURRENT, ICAP_PIXELTYPE, TWRC_SUCCESS, OneValue16(TWPT_RGB));
  // The same value again, answered differently the second time.
  r.Cap(MSG_SET, ICAP_PIXELTYPE, TWRC_SUCCESS, OneValue16(TWPT_GRAY));
  Replay replay(r.Save("caps.vtrace"));
  ASSERT_EQ(replay.Open(), TWRC_SUCCESS);

  auto current = [&replay] {
    const sample_test::Answer a = replay.Get(MSG_GETCURRENT, ICAP_PIXELTYPE);
    EXPECT_EQ(a.rc, TWRC_SUCCESS);
    EXPECT_EQ(a.conType, TWON_ONEVALUE);
    return a.At<TW_UINT16>(2);
  };
  EXPECT_EQ(current(), TWPT_RGB);
  // A recorded failure comes back with its condition.
  EXPECT_EQ(replay.Get(MSG_GET, ICAP_UNITS).rc, TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_BADCAP);
  // The SET gives the recorded result, and later GETs answer as after it.
  EXPECT_EQ(replay.Set(ICAP_PIXELTYPE, OneValue16(TWPT_GRAY)), TWRC_CHECKSTATUS);
  EXPECT_EQ(current(), TWPT_GRAY);
  EXPECT_EQ(replay.Set(ICAP_PIXELTYPE, OneValue16(TWPT_RGB)), TWRC_SUCCESS);
  EXPECT_EQ(current(), TWPT_RGB);
  // The trace holds no GET after that SET: the answer after the earlier one holds.
  EXPECT_EQ(replay.Set(ICAP_PIXELTYPE, OneValue16(TWPT_GRAY)), TWRC_SUCCESS);
  EXPECT_EQ(current(), TWPT_GRAY);

  // What the customer's session never asked is unsupported, and noted.
  EXPECT_EQ(replay.Set(ICAP_PIXELTYPE, OneValue16(TWPT_BW)), TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(replay.Get(MSG_GET, ICAP_XRESOLUTION).rc, TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_CAPUNSUPPORTED);
  EXPECT_NE(
      replay.lines.find("not in the trace: DG_CONTROL / DAT_CAPABILITY / MSG_SET ICAP_PIXELTYPE"),
      std::string::npos)
      << replay.lines;
  EXPECT_NE(
      replay.lines.find("not in the trace: DG_CONTROL / DAT_CAPABILITY / MSG_GET ICAP_XRESOLUTION"),
      std::string::npos);
}

TEST(ReplaySourceStates, KeepsItsOwnStateMachine) {
  Recording r;
  r.Cap(MSG_SET, ICAP_PIXELTYPE, TWRC_SUCCESS, OneValue16(TWPT_GRAY));
  r.Add(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_SUCCESS);
  r.Add(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_XFERDONE)
      .images.push_back({BlobKind::kDib, 4, 3, 8, 100, 0});
  Replay replay(r.Save("states.vtrace"));
  ASSERT_EQ(replay.Open(), TWRC_SUCCESS);
  TW_HANDLE image = nullptr;
  EXPECT_EQ(replay.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_SEQERROR);
  EXPECT_EQ(replay.EndXfer(), TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_SEQERROR);
  ASSERT_EQ(replay.Enable(), TWRC_SUCCESS);
  EXPECT_EQ(replay.host.notified, std::vector<TW_UINT16>{MSG_XFERREADY});
  EXPECT_EQ(replay.State(), 6);
  EXPECT_EQ(replay.Enable(), TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_SEQERROR);
  EXPECT_EQ(replay.Set(ICAP_PIXELTYPE, OneValue16(TWPT_GRAY)), TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_SEQERROR);
  // A triplet no Source answers from a trace.
  TW_UINT8 anything[64] = {};
  EXPECT_EQ(replay.Call(DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GET, anything), TWRC_FAILURE);
  EXPECT_EQ(replay.Condition(), TWCC_BADPROTOCOL);
  EXPECT_NE(replay.lines.find("not in the trace: DG_IMAGE / DAT_JPEGCOMPRESSION / MSG_GET"),
            std::string::npos);
  // The summary-only image goes out grey, of its recorded size and depth
  // (a size no trace could hold is not believed: see the next test), here
  // as a BMP file.
  TW_SETUPFILEXFER setup{};
  const std::string file = testing::TempDir() + "replayed.bmp";
  std::strcpy(setup.FileName, file.c_str());
  setup.Format = TWFF_BMP;
  ASSERT_EQ(replay.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  ASSERT_EQ(replay.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  const std::string bmp = ReadWhole(file);
  ASSERT_GT(bmp.size(), 14u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  const replay::Bytes dib(bmp.begin() + 14, bmp.end());
  DibLayout layout;
  ASSERT_EQ(DIB_CheckLayout(dib.data(), dib.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(layout.width, 4);
  EXPECT_EQ(layout.height, 3);
  EXPECT_EQ(layout.depth, 8);
  EXPECT_EQ(dib[layout.pixelOffset], 0x80);
  EXPECT_EQ(replay::Field<std::uint32_t>(replay::Bytes(bmp.begin(), bmp.end()), 10),
            14 + layout.pixelOffset);  // where the pixels are
  TW_UINT16 count = 99;
  EXPECT_EQ(replay.EndXfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(replay.State(), 5);
  // A second enabling has no image recorded: the Source asks to be closed.
  TW_USERINTERFACE ui{};
  ASSERT_EQ(replay.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(replay.Enable(), TWRC_SUCCESS);
  EXPECT_EQ(replay.host.notified.back(), MSG_CLOSEDSREQ);
  EXPECT_EQ(replay.State(), 5);
}

TEST(ReplaySourceStates, ImageSizesBeyondWhatATraceHoldsAreNotBelieved) {
  Recording r;
  r.Add(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_SUCCESS);
  r.Add(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_XFERDONE)
      .images.push_back({BlobKind::kDib, 1 << 30, 1 << 30, 24, 100, 0});
  TW_IMAGEINFO info{};
  info.ImageWidth = 1 << 20;
  info.ImageLength = 1 << 20;
  info.BitsPerPixel = 24;
  r.Add(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_SUCCESS).out = RecordBytes(info);
  TW_IMAGEMEMXFER strip{};
  strip.BytesPerRow = 3 << 20;
  strip.Rows = 1;
  strip.BytesWritten = 16;
  TraceCall& call = r.Add(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_XFERDONE);
  call.out = RecordBytes(strip);
  call.blobs.push_back({BlobKind::kStrip, replay::Bytes(16, 7)});
  Replay replay(r.Save("huge.vtrace"));
  ASSERT_EQ(replay.Open(), TWRC_SUCCESS);
  ASSERT_EQ(replay.Enable(), TWRC_SUCCESS);
  for (int image = 0; image < 2; ++image) {
    const replay::Bytes dib = replay.Native();
    DibLayout layout;
    ASSERT_EQ(DIB_CheckLayout(dib.data(), dib.size(), &layout), DibCheck::kOk);
    EXPECT_EQ(layout.width, 1);
    EXPECT_EQ(layout.height, 1);
    ASSERT_EQ(replay.EndXfer(), TWRC_SUCCESS);
  }
}

// A 3 x 2 colour bitmap, bottom-up, rows padded to 12 bytes.
replay::Bytes ColourDib() {
  replay::Bytes dib(40 + 24);
  BitmapInfoHeader header{40, 3, 2, 1, 24, kBiRgb, 24, 0, 0, 0, 0};
  std::memcpy(dib.data(), &header, sizeof(header));
  for (std::size_t i = 0; i < 24; ++i) dib[40 + i] = static_cast<std::uint8_t>(i + 1);
  return dib;
}

class ReplaySourceTransfers : public testing::TestWithParam<int> {};

TEST_P(ReplaySourceTransfers, RecordedImagesGoOutInOrderByAnyMechanism) {
  const int pointerBytes = GetParam();
  Recording r("Acme Scanner 9000", pointerBytes);
  r.Add(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWRC_SUCCESS);
  // Image 1: a native DIB.
  r.Add(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWRC_XFERDONE)
      .blobs.push_back({BlobKind::kDib, ColourDib()});
  // Image 2: gray 5 x 3 in two strips of 8-byte rows, after its image info.
  TW_IMAGEINFO info{};
  info.ImageWidth = 5;
  info.ImageLength = 3;
  info.BitsPerPixel = 8;
  info.PixelType = TWPT_GRAY;
  info.XResolution.Whole = 100;
  r.Add(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_SUCCESS).out = RecordBytes(info);
  const std::size_t memSize = TraceRecordSize(DAT_IMAGEMEMXFER, pointerBytes);
  for (int strip = 0; strip < 2; ++strip) {
    TW_IMAGEMEMXFER xfer{};
    xfer.Compression = TWCP_NONE;
    xfer.BytesPerRow = 8;
    xfer.Columns = 5;
    xfer.Rows = strip == 0 ? 2 : 1;
    xfer.YOffset = strip == 0 ? 0 : 2;
    xfer.BytesWritten = 8 * xfer.Rows;
    replay::Bytes rows(xfer.BytesWritten);
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i] = static_cast<std::uint8_t>(50 + strip * 16 + i);
    TraceCall& call =
        r.Add(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, strip == 0 ? TWRC_SUCCESS : TWRC_XFERDONE);
    call.out = RecordBytes(xfer, memSize);
    call.blobs.push_back({BlobKind::kStrip, rows});
  }
  // Image 3: a JFIF file whose bytes go back only to an application asking for JFIF.
  TW_SETUPFILEXFER setup{};
  std::strcpy(setup.FileName, "C:\\scan.jpg");
  setup.Format = TWFF_JFIF;
  r.Add(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, TWRC_SUCCESS).in = RecordBytes(setup);
  r.Add(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWRC_XFERDONE)
      .blobs.push_back({BlobKind::kFile, {0xFF, 0xD8, 0xFF, 0xD9}});
  Replay replay(r.Save("transfers.vtrace"));
  ASSERT_EQ(replay.Open(), TWRC_SUCCESS);
  ASSERT_EQ(replay.Enable(), TWRC_SUCCESS);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(replay.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(Val(pending.Count), 3);

  // The recorded DIB as memory strips: top-down, red first, one row a strip.
  TW_SETUPMEMXFER setupMem{};
  ASSERT_EQ(replay.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setupMem), TWRC_SUCCESS);
  EXPECT_EQ(Val(setupMem.MinBufSize), 12u);
  EXPECT_EQ(Val(setupMem.MaxBufSize), 24u);
  int strips = 0;
  const replay::Bytes rows = replay.Memory(12, 1, &strips);
  EXPECT_EQ(strips, 2);
  const replay::Bytes expected = {15, 14, 13, 18, 17, 16, 21, 20, 19, 22, 23, 24,
                                  3,  2,  1,  6,  5,  4,  9,  8,  7,  10, 11, 12};
  EXPECT_EQ(rows, expected);
  TW_UINT16 count = 0;
  ASSERT_EQ(replay.EndXfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 2);

  // The strips, assembled, as a native bitmap with a gray table; the recorded info.
  TW_IMAGEINFO got{};
  ASSERT_EQ(replay.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &got), TWRC_SUCCESS);
  EXPECT_EQ(Val(got.XResolution.Whole), 100);
  EXPECT_EQ(Val(got.ImageWidth), 5);
  const replay::Bytes dib = replay.Native();
  DibLayout layout;
  ASSERT_EQ(DIB_CheckLayout(dib.data(), dib.size(), &layout), DibCheck::kOk);
  EXPECT_EQ(layout.width, 5);
  EXPECT_EQ(layout.height, 3);
  EXPECT_EQ(layout.depth, 8);
  EXPECT_EQ(layout.xPelsPerMeter, 3937);
  EXPECT_EQ(DIB_LayoutColor(dib.data(), layout, 255), 0xFFFFFFu);
  const auto* top = DIB_LayoutRow(const_cast<std::uint8_t*>(dib.data()), layout, 0);
  const auto* bottom = DIB_LayoutRow(const_cast<std::uint8_t*>(dib.data()), layout, 2);
  EXPECT_EQ(replay::Bytes(top, top + 5), (replay::Bytes{50, 51, 52, 53, 54}));
  EXPECT_EQ(replay::Bytes(bottom, bottom + 5), (replay::Bytes{66, 67, 68, 69, 70}));
  ASSERT_EQ(replay.EndXfer(&count), TWRC_SUCCESS);

  // The file: the recorded bytes when JFIF is asked; TIFF was never recorded.
  setup.Format = TWFF_TIFF;
  EXPECT_EQ(replay.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
  const std::string file = testing::TempDir() + "replayed.jpg";
  std::strcpy(setup.FileName, file.c_str());
  setup.Format = TWFF_JFIF;
  ASSERT_EQ(replay.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  ASSERT_EQ(replay.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  EXPECT_EQ(ReadWhole(file), std::string("\xFF\xD8\xFF\xD9"));
  ASSERT_EQ(replay.EndXfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(replay.State(), 5);
}

INSTANTIATE_TEST_SUITE_P(PointerBytes, ReplaySourceTransfers, testing::Values(4, 8));

}  // namespace
