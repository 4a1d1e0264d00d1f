#include "pages/image_transfer.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <new>

#include "caps/container.h"
#include "caps/logged_operations.h"
#include "imaging/dib_image.h"
#include "imaging/header_report.h"
#include "pages/log.h"
#include "pages/log_store.h"
#include "session_test_support.h"
#include "tests/host/bitmap_builder.h"

namespace {

using platform::host::GetMemoryStats;
using Strings = std::vector<std::string>;

// The page as the steps see it; its view owns the image as the real page's does.
class FakePage : public ImagePageView {
 public:
  void Clear() override {
    info.clear();
    SetImage(nullptr);
  }
  void SetImage(DibHandle handle) override {
    image.Attach(handle);
    ++images;
  }
  void SetInfoText(const std::string& text) override {
    if (throwOnText) throw std::bad_alloc();
    if (throwOther) throw 7;
    info = text;
  }
  void AppendInfoText(const std::string& text) override { info += text; }
  void InfoBox(const char* text) override { boxes.push_back(text); }

  DibImage image;
  std::string info = "stale";
  Strings boxes;
  int images = 0;
  bool throwOnText = false;
  bool throwOther = false;  // something that is no std::exception
};

// One buffer as the test's Source fills it.
struct Strip {
  TW_UINT32 rows = 0;
  TW_UINT32 bytesPerRow = 0;
  TW_UINT32 columns = 0;
  TW_UINT16 rc = TWRC_SUCCESS;
  TW_UINT32 xOffset = 0;
  TW_UINT16 compression = TWCP_NONE;
  int yOffsetShift = 0;            // added to the honest YOffset
  TW_UINT32 bytesWritten = 0;      // 0: rows x bytesPerRow
  bool clobberDescriptor = false;  // points Memory elsewhere after writing
  bool writesNothing = false;      // claims its rows without writing a byte
};

// Byte k of source row r as the test Source sends it.
unsigned char SourceByte(std::uint32_t row, std::uint32_t k) {
  return static_cast<unsigned char>(row * 31 + k * 7 + 1);
}

TW_FIX32 Fix(int whole) {
  return TW_FIX32{static_cast<TW_INT16>(whole), 0};
}

class TransferTest : public SessionTest {
 protected:
  TransferTest() {
    SetLogSink(ToStore, &log);
    GoTo(6);
  }

  static void ToStore(const char* text, bool final, void* context) {
    static_cast<LogStore*>(context)->Write(text, final);
  }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    return lines;
  }
  bool Logged(const std::string& line) const {
    const Strings lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // A Source with a memory image of the given shape that sends the strips.
  // Asked again, the image information gives `lengthAfter` (-2: `length`).
  void MemorySource(int width, int length, int bits, TW_UINT32 preferred, std::deque<Strip> strips,
                    int samples = 3, int lengthAfter = -2) {
    auto asked = std::make_shared<int>(0);
    dsm.On(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET).Fill([preferred](TW_MEMREF data) {
      *static_cast<TW_SETUPMEMXFER*>(data) = {preferred / 2, preferred * 2, preferred};
    });
    dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Fill([=](TW_MEMREF data) {
      TW_IMAGEINFO info{};
      info.XResolution = Fix(100);
      info.YResolution = Fix(150);
      info.ImageWidth = width;
      info.ImageLength = (*asked)++ && lengthAfter != -2 ? lengthAfter : length;
      info.SamplesPerPixel = static_cast<TW_INT16>(samples);
      info.BitsPerSample[0] = info.BitsPerSample[1] = info.BitsPerSample[2] = 8;
      info.BitsPerPixel = static_cast<TW_INT16>(bits);
      info.PixelType = samples == 3 ? TWPT_RGB : TWPT_GRAY;
      *static_cast<TW_IMAGEINFO*>(data) = info;
    });
    auto sent = std::make_shared<std::uint32_t>(0);
    auto queue = std::make_shared<std::deque<Strip>>(std::move(strips));
    dsm.On(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET).Run([=](const fake::Call&, TW_MEMREF data) {
      auto* record = static_cast<TW_IMAGEMEMXFER*>(data);
      if (queue->empty()) return TW_UINT16{TWRC_FAILURE};
      const Strip strip = queue->front();
      queue->pop_front();
      record->Compression = strip.compression;
      record->BytesPerRow = strip.bytesPerRow;
      record->Columns = strip.columns ? strip.columns : static_cast<TW_UINT32>(width);
      record->Rows = strip.rows;
      record->XOffset = strip.xOffset;
      record->YOffset = *sent + strip.yOffsetShift;
      const std::uint64_t bytes = std::uint64_t{strip.rows} * strip.bytesPerRow;
      record->BytesWritten =
          strip.bytesWritten ? strip.bytesWritten : static_cast<TW_UINT32>(bytes);
      auto* memory = static_cast<unsigned char*>(record->Memory.TheMem);
      for (std::uint64_t k = 0; !strip.writesNothing && k < bytes && k < record->Memory.Length;
           ++k) {
        memory[k] = SourceByte(*sent + static_cast<std::uint32_t>(k / strip.bytesPerRow),
                               static_cast<std::uint32_t>(k % strip.bytesPerRow));
      }
      *sent += strip.rows;
      if (strip.clobberDescriptor) record->Memory = {0, 0x7FFFFFFF, nullptr};
      return strip.rc;
    });
  }

  void ExpectNothingLeft() {
    page.image.Free();
    EXPECT_EQ(GetMemoryStats().liveBlocks, 0) << "every block freed";
    EXPECT_EQ(GetMemoryStats().outstandingLocks, 0) << "no lock left behind";
  }

  LogStore log;
  FakePage page;
};

TEST_F(TransferTest, MemoryStripsAssembleAnRgbImageWithItsReportAndLines) {
  // 5 pixels of 3 bytes: 15 bytes, padded to 16 in the bitmap and the strips.
  MemorySource(5, 4, 24, 32, {{2, 16}, {2, 16, 0, TWRC_XFERDONE}});
  MemoryTransferStep(page);

  EXPECT_EQ(Lines(), (Strings{"Starting Memory Transfer", "  Width=5  Height=4",
                              "  Res 100.000000 x 150.000000", "  24 bits/pixel, 3 smples/pixel",
                              "Memory Buffer: 2 rows", "Memory Buffer: 2 rows",
                              "Memory transfer completed successfully."}));
  ASSERT_EQ(page.image.Check(), DibCheck::kOk);
  EXPECT_EQ(page.image.Width(), 5);
  EXPECT_EQ(page.image.Height(), 4);
  EXPECT_EQ(page.image.Depth(), 24);
  EXPECT_EQ(page.image.XDotsPerInch(), 100);
  EXPECT_EQ(page.image.YDotsPerInch(), 150);
  for (int row = 0; row < 4; ++row) {
    const unsigned char* pixel = page.image.RowAddress(row);
    for (int column = 0; column < 5; ++column) {
      EXPECT_EQ(pixel[3 * column + 2], SourceByte(row, 3 * column)) << "red last in the bitmap";
      EXPECT_EQ(pixel[3 * column + 1], SourceByte(row, 3 * column + 1));
      EXPECT_EQ(pixel[3 * column], SourceByte(row, 3 * column + 2)) << "blue first";
    }
  }
  EXPECT_EQ(page.info,
            " Received via Memory Transfer\r\n\r\n X Resolution    = 100 pixels/inch\r\n Y "
            "Resolution    = 150 pixels/inch\r\n Width           = 5 columns\r\n Length          "
            "= 4 rows\r\n SamplesPerPixel = 3\r\n BitsPerSample   = [8,8,8]\r\n BitsPerPixel    = "
            "24\r\n Planar          = 0 (CHUNKY)\r\n PixelType       = TWPT_RGB\r\n Compression "
            "    = TWCP_NONE\r\n");
  // One buffer of the preferred size, described to the Source the same way each time.
  const auto requests = dsm.CallsOf(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET);
  ASSERT_EQ(requests.size(), 2u);
  for (const fake::Call& call : requests) {
    TW_IMAGEMEMXFER sent;
    std::memcpy(&sent, call.record.data(), sizeof(sent));
    const TW_UINT32 flags = sent.Memory.Flags, length = sent.Memory.Length, rows = sent.Rows;
    EXPECT_EQ(flags, TWMF_APPOWNS | TWMF_POINTER);
    EXPECT_EQ(length, 32u);
    EXPECT_EQ(rows, 0u) << "the report fields are cleared before each request";
  }
  EXPECT_EQ(std::memcmp(requests[0].record.data() + 26, requests[1].record.data() + 26, 8 + 8), 0);
  EXPECT_EQ(TWAIN_State(), 7);
  EXPECT_EQ(GetMemoryStats().allocations, 2) << "the bitmap and one buffer";
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemorySurplusRowsAreCutAndAnEarlyDoneShowsTheImage) {
  // 3 rows of 8-bit gray, 4 bytes a row; the Source sends 2 + 2 and then one more strip.
  MemorySource(4, 3, 8, 8, {{2, 4}, {2, 4}, {2, 4, 0, TWRC_XFERDONE}}, 1);
  MemoryTransferStep(page);
  const Strings lines = Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Memory Buffer: 2 rows"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Memory Buffer: 1 rows"), 1);
  EXPECT_TRUE(Logged("   1 rows beyond ImageLength (3)"));
  EXPECT_EQ(lines[lines.size() - 2],
            "   YOffset (4) is not the 3 rows already stored; 2 rows beyond ImageLength (3)")
      << "a strip after the image is full copies nothing";
  EXPECT_EQ(lines.back(), "Memory transfer completed successfully.");

  ASSERT_EQ(page.image.Height(), 3);
  EXPECT_EQ(page.image.RowAddress(2)[0], SourceByte(2, 0));
  EXPECT_EQ(page.image.Color(255), 0xFFFFFFu) << "8-bit gray shows with the gray ramp";
  EXPECT_EQ(page.image.Color(1), 0x010101u);
  ExpectNothingLeft();

  // Done after 1 of 3 rows: complete, the rest as allocated.
  log = LogStore{};
  MemorySource(4, 3, 8, 8, {{1, 4, 0, TWRC_XFERDONE}}, 1);
  MemoryTransferStep(page);
  EXPECT_EQ(Lines().back(), "Memory transfer completed successfully.");
  ASSERT_EQ(page.image.Height(), 3);
  EXPECT_EQ(page.image.RowAddress(0)[3], SourceByte(0, 3));
  EXPECT_EQ(page.image.RowAddress(1)[0], 0xCD) << "left as allocated";
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemoryStripsWithAnOffsetOrCompressionAreCountedNotCopied) {
  Strip offset{1, 4};
  offset.xOffset = 2;
  Strip packed{1, 4};
  packed.compression = 1;  // TWCP_PACKBITS
  Strip unknown{1, 4, 0, TWRC_XFERDONE};
  unknown.compression = 0xFFFF;  // no compression stated: copied
  MemorySource(4, 3, 8, 16, {offset, packed, unknown}, 1);
  MemoryTransferStep(page);
  const Strings lines = Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Memory Buffer: 1 rows"), 3);
  ASSERT_EQ(page.image.Height(), 3);
  EXPECT_EQ(page.image.RowAddress(0)[0], 0xCD);
  EXPECT_EQ(page.image.RowAddress(1)[0], 0xCD);
  EXPECT_EQ(page.image.RowAddress(2)[0], SourceByte(2, 0));
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemoryDepthsOneBitAndThirtyTwoBits) {
  // 1 bit: 9 pixels need 2 bytes, padded to 4.
  MemorySource(9, 2, 1, 8, {{2, 4, 0, TWRC_XFERDONE}}, 1);
  MemoryTransferStep(page);
  ASSERT_EQ(page.image.Depth(), 1);
  EXPECT_EQ(page.image.Color(0), 0u) << "black for 0";
  EXPECT_EQ(page.image.Color(1), 0xFFFFFFu) << "white for 1";
  EXPECT_EQ(page.image.RowAddress(1)[1], SourceByte(1, 1));
  ExpectNothingLeft();

  // 32 bits: a 24-bit bitmap, each row's first bytes copied unconverted
  // (and then red and blue exchanged like every 24-bit image).
  MemorySource(2, 2, 32, 16, {{2, 8, 0, TWRC_XFERDONE}}, 4);
  MemoryTransferStep(page);
  ASSERT_EQ(page.image.Depth(), 24);
  const unsigned char* row = page.image.RowAddress(1);
  EXPECT_EQ(row[0], SourceByte(1, 2));
  EXPECT_EQ(row[2], SourceByte(1, 0));
  EXPECT_EQ(row[3], SourceByte(1, 5)) << "byte 3 of the Source's row is the 2nd pixel's blue";
  EXPECT_EQ(row[5], SourceByte(1, 3));
  EXPECT_EQ(row[6], SourceByte(1, 6)) << "padding copied too";
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemoryStripsThatBreakTheProtocolAreNotedAndReadWithinTheBuffer) {
  // Claims 5 rows of 4 bytes and 40 bytes written into a 12-byte buffer,
  // starts at YOffset 1, short rows and the wrong column count.
  Strip liar{5, 4, 7};
  liar.yOffsetShift = 1;
  liar.bytesWritten = 40;
  Strip rest{1, 8, 0, TWRC_XFERDONE};
  rest.clobberDescriptor = true;
  MemorySource(6, 6, 8, 12, {liar, rest}, 1);
  MemoryTransferStep(page);
  const Strings lines = Lines();
  const auto buffer = std::find(lines.begin(), lines.end(), "Memory Buffer: 5 rows");
  ASSERT_NE(buffer, lines.end());
  ASSERT_NE(buffer + 1, lines.end());
  EXPECT_EQ(*(buffer + 1),
            "   BytesWritten (40) is larger than the buffer (12 bytes); YOffset (1) is not the 0 "
            "rows already stored; BytesPerRow (4) is shorter than the image's row (6 bytes); "
            "Columns (7) is not ImageWidth (6)");
  ASSERT_EQ(page.image.Height(), 6);
  // Rows of 8 bytes read 4 apart from a 12-byte buffer: row 1 has 8 bytes,
  // row 2 the last 4 and zeros, rows 3 and 4 nothing at all.
  EXPECT_EQ(page.image.RowAddress(1)[7], SourceByte(2, 3));
  EXPECT_EQ(page.image.RowAddress(2)[3], SourceByte(2, 3));
  for (int k = 4; k < 8; ++k) EXPECT_EQ(page.image.RowAddress(2)[k], 0) << k;
  for (int k = 0; k < 8; ++k) EXPECT_EQ(page.image.RowAddress(4)[k], 0) << k;
  EXPECT_EQ(page.image.RowAddress(5)[6], SourceByte(5, 6))
      << "read from our buffer, wherever the Source pointed the descriptor";
  EXPECT_EQ(lines.back(), "Memory transfer completed successfully.");
  // Rows a Source claims but never writes read as zeros, not as stale memory.
  Strip blank{2, 4, 0, TWRC_XFERDONE};
  blank.writesNothing = true;
  MemorySource(4, 2, 8, 8, {blank}, 1);
  MemoryTransferStep(page);
  ASSERT_EQ(page.image.Height(), 2);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(page.image.RowAddress(1)[k], 0) << k;
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemoryFailuresFreeTheBitmapAndTheBuffer) {
  // The Source fails after the first strip.
  MemorySource(4, 4, 8, 8, {{2, 4}}, 1);
  MemoryTransferStep(page);
  EXPECT_EQ(Lines().back(), "Memory transfer failed.");
  EXPECT_EQ(page.image.Handle(), nullptr);
  EXPECT_EQ(page.info.rfind(" Received via Memory Transfer\r\n", 0), 0u) << "the report stays";
  ExpectNothingLeft();

  // No bitmap for the image.
  log = LogStore{};
  dsm.ClearCalls();
  MemorySource(4, 4, 8, 8, {{4, 4, 0, TWRC_XFERDONE}}, 1);
  platform::host::FailAllocations(1);
  MemoryTransferStep(page);
  EXPECT_EQ(Lines().back(), "Unable to allocate memory for image");
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET), 0u);
  ExpectNothingLeft();

  // No buffer: the box, and the bitmap is not kept.
  log = LogStore{};
  MemorySource(4, 4, 8, 4096, {{4, 4, 0, TWRC_XFERDONE}}, 1);
  platform::host::FailAllocationsAbove(2000);
  MemoryTransferStep(page);
  EXPECT_EQ(page.boxes, Strings{kBufferFailedText});
  EXPECT_EQ(page.image.Handle(), nullptr);
  ExpectNothingLeft();

  // Setup or image information refused: nothing more happens.
  dsm.ClearCalls();
  log = LogStore{};
  dsm.On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Return(TWRC_FAILURE);
  EXPECT_FALSE(MemoryTransferStep(page));
  EXPECT_EQ(Lines(), Strings{"   DG_IMAGE / DAT_IMAGEINFO / MSG_GET -> TWRC_FAILURE, TWCC_BUMMER: "
                             "no image was transferred"});
  EXPECT_EQ(page.info, "");
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemoryExceptionsAreLoggedAndLeakNothing) {
  MemorySource(4, 4, 8, 8, {{4, 4, 0, TWRC_XFERDONE}}, 1);
  page.throwOnText = true;
  MemoryTransferStep(page);
  EXPECT_EQ(Lines().back(), "Exception: std::bad_alloc");
  ExpectNothingLeft();

  MemorySource(4, 4, 8, 8, {{4, 4, 0, TWRC_XFERDONE}}, 1);
  page.throwOnText = false;
  page.throwOther = true;
  MemoryTransferStep(page);
  EXPECT_EQ(Lines().back(), "Exception: unknown exception");
  ExpectNothingLeft();
}

TEST_F(TransferTest, MemorySourceThatNeverEndsIsGivenUp) {
  std::deque<Strip> empty(kMaxEmptyStrips + 5, Strip{0, 4});
  MemorySource(4, 4, 8, 8, empty, 1);
  MemoryTransferStep(page);
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET),
            static_cast<std::size_t>(kMaxEmptyStrips));
  EXPECT_EQ(Lines().back(), "Memory transfer failed.");
  const Strings lines = Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      std::string(kLogNotePrefix) +
                          "1000 buffers in a row brought no rows; the transfer is given up"),
            lines.end());
  ExpectNothingLeft();
}

// ImageLength -1: the Source does not know the length until it is done.
using UnknownLengthTest = TransferTest;

TEST_F(UnknownLengthTest, TheBitmapGrowsWithTheRowsUntilDoneAndTheHeightIsReported) {
  MemorySource(5, -1, 24, 48, {{2, 16}, {2, 16}, {2, 16}, {1, 16, 0, TWRC_XFERDONE}}, 3, 9);
  EXPECT_TRUE(MemoryTransferStep(page));
  ASSERT_EQ(page.image.Check(), DibCheck::kOk);
  ASSERT_EQ(page.image.Height(), 7);
  // Rows stored before each growth are still in place, colours swapped.
  for (int row = 0; row < 7; ++row) {
    EXPECT_EQ(page.image.RowAddress(row)[2], SourceByte(row, 0)) << row;
    EXPECT_EQ(page.image.RowAddress(row)[14], SourceByte(row, 12)) << row;
  }
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGEINFO, MSG_GET), 2u) << "asked again after XFERDONE";
  const Strings lines = Lines();
  EXPECT_EQ(Strings(lines.end() - 3, lines.end()),
            (Strings{"   DAT_IMAGEINFO after the transfer gives ImageLength 9, not the 7 rows that "
                     "came",
                     "   ImageLength was -1 (unknown): the image has the 7 rows that came",
                     "Memory transfer completed successfully."}));
  EXPECT_NE(page.info.find(" Length          = 7 rows\r\n"), std::string::npos) << page.info;
  // 1 row, then 2, 4 and 8: one new block per doubling, beside the buffer.
  EXPECT_LE(GetMemoryStats().allocations, 5);
  ExpectNothingLeft();

  // Done before any row: nothing to show.
  log = LogStore{};
  MemorySource(5, -1, 24, 48, {{0, 16, 0, TWRC_XFERDONE}});
  EXPECT_TRUE(MemoryTransferStep(page));
  EXPECT_EQ(page.image.Handle(), nullptr);
  EXPECT_EQ(Lines().back(), "Memory transfer failed.");
  ExpectNothingLeft();
}

TEST_F(UnknownLengthTest, ASourceThatNeverSaysDoneOrClaimsTooManyRowsIsBounded) {
  MemorySource(4, -1, 8, 8, std::deque<Strip>(kMaxUnknownLengthStrips + 5, Strip{1, 4}), 1);
  MemoryTransferStep(page);
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET),
            static_cast<std::size_t>(kMaxUnknownLengthStrips));
  Strings lines = Lines();
  EXPECT_EQ(lines[lines.size() - 2],
            "   100000 buffers brought no TWRC_XFERDONE; the transfer is given up");
  EXPECT_EQ(lines.back(), "Memory transfer failed.");
  ExpectNothingLeft();

  // No strip counts more rows than its buffer holds uncompressed, even
  // compressed ones, which are not drawn.
  log = LogStore{};
  Strip packed{0x20000001, 4, 0, TWRC_XFERDONE};
  packed.compression = 1;
  MemorySource(4, -1, 8, 8, {{0x20000001, 4}, packed}, 1);
  MemoryTransferStep(page);
  lines = Lines();
  EXPECT_EQ(lines[5].substr(lines[5].rfind("; ") + 2),
            "536870913 rows claimed in a buffer that holds 2");
  EXPECT_EQ(page.image.Height(), 4);
  ExpectNothingLeft();
}

// A V4 header with compression 5 and 3780 pixels per metre.
std::vector<unsigned char> V4Bitmap() {
  std::vector<unsigned char> bytes = test::PackedBitmap({108, 3, 2, 24, 5, 0, 0, 16});
  const std::uint32_t sizeImage = 16;
  const std::int32_t ppm[2] = {3780, 2835};
  std::memcpy(bytes.data() + 20, &sizeImage, 4);
  std::memcpy(bytes.data() + 24, ppm, sizeof(ppm));
  return bytes;
}

TEST_F(TransferTest, NativeTransferReportsTheHeaderAndShowsTheBitmap) {
  DibHandle sent = test::ToBlock(V4Bitmap());
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Fill([sent](TW_MEMREF data) {
    *static_cast<TW_HANDLE*>(data) = sent;
  });
  NativeTransferStep(page);
  // PNG data (compression 5): reported and kept, but not drawable.
  EXPECT_EQ(Lines(), (Strings{"DIB received",
                              "   the bitmap is not shown: its compression (5 - unknown format) "
                              "cannot be drawn"}));
  EXPECT_EQ(page.image.Handle(), sent);
  EXPECT_EQ(page.info,
            " Received via Native Transfer\r\n Header Size  = 108 bytes\r\n Header Type  = "
            "BITMAPV4HEADER\r\n Width        = 3 pixels\r\n Height       = 2 pixels\r\n Planes     "
            "  = 1\r\n Depth        = 24 bits/pixel\r\n Compression  = 5 - unknown format\r\n "
            "Image Size   = 16 bytes\r\n X Resolution = 3780 pixels/m (100 DPI)\r\n Y Resolution "
            "= 2835 pixels/m (72.009 DPI)\r\n Color Table:   0 entries\r\n");
  EXPECT_EQ(TWAIN_State(), 7);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 1) << "only the page's view holds a lock";
  ExpectNothingLeft();
}

TEST_F(TransferTest, NativeFailuresAndLyingHeadersLeaveNoImage) {
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_CANCEL).Times(1);
  EXPECT_FALSE(NativeTransferStep(page));
  EXPECT_EQ(Lines(), (Strings{"DG_IMAGE/DAT_IMAGENATIVEXFER/MSG_GET failed",
                              "   DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET -> TWRC_CANCEL, "
                              "TWCC_BUMMER: no image was transferred"}));
  EXPECT_EQ(page.info, "");
  EXPECT_EQ(TWAIN_State(), 7) << "a cancel still moves on";
  TWAIN_SetState(6);

  // A success without a handle is a failure too.
  log = LogStore{};
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Times(1);
  EXPECT_FALSE(NativeTransferStep(page));
  EXPECT_EQ(Lines(),
            (Strings{"DG_IMAGE/DAT_IMAGENATIVEXFER/MSG_GET failed",
                     "   DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET -> TWRC_XFERDONE with no "
                     "handle: no image was transferred"}));
  TWAIN_SetState(6);

  // The header claims twice the rows the block holds: reported, never drawn, freed.
  log = LogStore{};
  test::BitmapSpec shape = test::Complete({40, 4, 4, 8});
  std::vector<unsigned char> bytes = test::PackedBitmap(shape);
  const std::int32_t lie = 8;
  std::memcpy(bytes.data() + 8, &lie, 4);
  DibHandle sent = test::ToBlock(bytes);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Fill([sent](TW_MEMREF data) {
    *static_cast<TW_HANDLE*>(data) = sent;
  });
  NativeTransferStep(page);
  EXPECT_EQ(Lines(), (Strings{"DIB received",
                              "   the bitmap is not shown: the header describes more pixel data "
                              "than the block (1080 bytes) holds"}));
  EXPECT_NE(page.info.find(" Height       = 8 pixels\r\n"), std::string::npos);
  EXPECT_EQ(page.image.Check(), DibCheck::kPixelsOutside);
  page.Clear();
  EXPECT_FALSE(platform::host::IsLiveBlock(sent)) << "the page frees what it cannot show";
  ExpectNothingLeft();
}

// A Source that hands back an HBITMAP: the page shows the DIB read from it,
// the log says what the Source did, and the bitmap is deleted.
TEST_F(TransferTest, NativeHBitmapIsShownAsADibNotedAndDeleted) {
  DibHandle dib = test::ToBlock(test::PackedBitmap(test::Complete({40, 4, 4, 8})));
  platform::MemoryHandle bitmap = platform::host::MakeGdiBitmap(dib);
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_XFERDONE).Fill([=](TW_MEMREF data) {
    *static_cast<TW_HANDLE*>(data) = bitmap;
  });
  NativeTransferStep(page);
  EXPECT_EQ(Lines(), (Strings{"DIB received",
                              "   the Source returned an HBITMAP, not a DIB in global memory; it "
                              "was converted and deleted"}));
  EXPECT_EQ(page.image.Handle(), dib);
  EXPECT_EQ(page.image.Check(), DibCheck::kOk);
  EXPECT_NE(page.info.find(" Width        = 4 pixels\r\n"), std::string::npos);
  EXPECT_EQ(platform::host::LiveGdiBitmapCount(), 0);
  ExpectNothingLeft();
}

class FileTransferTest : public TransferTest {
 protected:
  void FileSource(const std::string& name, TW_UINT16 format) {
    dsm.On(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET).Fill([=](TW_MEMREF data) {
      auto* setup = static_cast<TW_SETUPFILEXFER*>(data);
      std::snprintf(setup->FileName, sizeof(setup->FileName), "%s", name.c_str());
      setup->Format = format;
      setup->VRefNum = 7;
    });
    dsm.On(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET).Return(TWRC_SUCCESS);
    dsm.On(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET).Return(TWRC_XFERDONE);
  }
};

TEST_F(FileTransferTest, ABitmapFileIsLoadedAndReportedTwice) {
  const std::string name = VORREL_FIXTURES "/gray.bmp";
  FileSource(name, TWFF_BMP);
  FileTransferStep(page);
  EXPECT_EQ(Lines(), (Strings{"File Xfer Ready: TWFF_BMP, \"" + name + "\"",
                              "File Xfer Done: \"" + name + "\""}));
  const std::string head = " Received via File Transfer\r\n\r\n FileName    = \"" + name +
                           "\"\r\n Format      = TWFF_BMP\r\n ------------------------- DIB as "
                           "loaded\r\n Header Size  = 40 bytes\r\n";
  EXPECT_EQ(page.info.substr(0, head.size()), head);
  EXPECT_EQ(page.image.Check(), DibCheck::kOk);
  EXPECT_EQ(page.image.Depth(), 8);
  // The Source's record goes back unchanged.
  const auto get = dsm.CallsOf(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET);
  const auto set = dsm.CallsOf(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET);
  ASSERT_EQ(set.size(), 1u);
  TW_SETUPFILEXFER answered{};
  std::snprintf(answered.FileName, sizeof(answered.FileName), "%s", name.c_str());
  answered.Format = TWFF_BMP;
  answered.VRefNum = 7;
  EXPECT_EQ(set[0].record,
            std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(&answered),
                                      reinterpret_cast<std::uint8_t*>(&answered + 1)));
  ExpectNothingLeft();
}

TEST_F(FileTransferTest, UnshownFormatsFilesThatAreNotImagesAndRefusals) {
  FileSource("C:\\scan.tif", TWFF_TIFF);
  FileTransferStep(page);
  EXPECT_EQ(page.info.size() > std::strlen(kUnsupportedFileText) &&
                page.info.compare(page.info.size() - std::strlen(kUnsupportedFileText),
                                  std::string::npos, kUnsupportedFileText) == 0,
            true)
      << page.info;
  EXPECT_EQ(page.image.Handle(), nullptr);

  // A text file where a bitmap was promised.
  const std::string text = testing::TempDir() + "vorrel_not_image.bmp";
  std::ofstream(text) << "not a picture";
  log = LogStore{};
  FileSource(text, TWFF_BMP);
  FileTransferStep(page);
  EXPECT_EQ(Lines().back(), "   \"" + text + "\" could not be read as a TWFF_BMP file");
  EXPECT_EQ(page.image.Handle(), nullptr);
  EXPECT_NE(page.info.find("FileName    = \"" + text), std::string::npos);
  std::remove(text.c_str());

  // The Source refuses its own choice back: no transfer, the done line without
  // a name, the condition asked once and the logged operations' text left alone.
  log = LogStore{};
  dsm.ClearCalls();
  dsm.On(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET).Return(TWRC_FAILURE).Condition(TWCC_BADVALUE);
  const std::string kept = LastResultText();
  EXPECT_FALSE(FileTransferStep(page));
  EXPECT_EQ(Lines(), (Strings{"File Xfer Ready: TWFF_BMP, \"" + text + "\"", "File Xfer Done: \"\"",
                              "   DG_CONTROL / DAT_SETUPFILEXFER / MSG_SET -> TWRC_FAILURE, "
                              "TWCC_BADVALUE: no file was transferred"}));
  EXPECT_EQ(page.info, "") << "the last file's report is gone";
  EXPECT_EQ(dsm.Count(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET), 0u);
  EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_STATUS, MSG_GET), 1u);
  EXPECT_EQ(LastTransferFailureText(), "TWRC_FAILURE, TWCC_BADVALUE");
  EXPECT_EQ(LastResultText(), kept);
  ExpectNothingLeft();
  ExpectNothingLeft();
}

TEST_F(TransferTest, TheMechanismChoosesTheStep) {
  dsm.On(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET).Return(TWRC_FAILURE);
  dsm.On(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET).Return(TWRC_FAILURE);
  dsm.On(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET).Return(TWRC_FAILURE);
  const std::pair<int, std::string> expected[] = {
      {TWSX_NATIVE, "DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET"},
      {TWSX_FILE, "DG_CONTROL / DAT_SETUPFILEXFER / MSG_GET"},
      {TWSX_MEMORY, "DG_CONTROL / DAT_SETUPMEMXFER / MSG_GET"}};
  for (const auto& [mechanism, triplet] : expected) {
    dsm.ClearCalls();
    log = LogStore{};
    TWAIN_SetState(6);
    page.info = "stale";
    EXPECT_FALSE(TransferByMechanism(page, mechanism)) << "nothing was transferred";
    EXPECT_EQ(Sent(), Strings{triplet}) << mechanism;
    EXPECT_EQ(page.info, "") << mechanism << ": each step starts from a clear page";
    // Every failure says how, with its condition asked once.
    const char* outcome = mechanism == TWSX_FILE ? "file" : "image";
    EXPECT_EQ(Lines().back(), "   " + triplet + " -> TWRC_FAILURE, TWCC_BUMMER: no " + outcome +
                                  " was transferred");
    EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_STATUS, MSG_GET), 1u) << mechanism;
  }
  // A failed native transfer leaves no earlier image on show.
  page.SetImage(DIB_Create(8, 2, 2));
  TWAIN_SetState(6);
  TransferByMechanism(page, TWSX_NATIVE);
  EXPECT_EQ(page.image.Handle(), nullptr);
  dsm.ClearCalls();
  TransferByMechanism(page, 3);
  EXPECT_TRUE(Sent().empty());
}

}  // namespace
