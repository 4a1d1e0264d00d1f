#include "imaging/strip_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/dib.h"
#include "platform/host/host_platform.h"
#include "platform/memory.h"
#include "tests/host/bitmap_builder.h"

namespace {

std::vector<unsigned char> BlockBytes(DibHandle bitmap) {
  platform::MemLockGuard lock(bitmap);
  const auto* bytes = static_cast<const unsigned char*>(lock.data());
  return {bytes, bytes + platform::MemSize(bitmap)};
}

// A strip that reaches past the last row writes every row it has room for
// and nothing outside the pixels: the header and colour table stay as made.
TEST(StripWriterTest, RowsBeyondTheBitmapAreSkippedAndTheHeaderIsLeftAlone) {
  DibHandle bitmap = DIB_Create(8, 4, 2);
  ASSERT_NE(bitmap, nullptr);
  const std::vector<unsigned char> before = BlockBytes(bitmap);
  const std::size_t pixelsAt = before.size() - 2 * 4;
  const std::vector<unsigned char> strip(3 * 4, 0xAB);
  {
    StripWriter writer(bitmap);
    ASSERT_TRUE(writer.ok());
    writer.Write(0, 3, 4, strip.data(), strip.size());
  }
  const std::vector<unsigned char> after = BlockBytes(bitmap);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + pixelsAt, after.begin()))
      << "header or colour table written";
  EXPECT_EQ(std::vector<unsigned char>(after.begin() + pixelsAt, after.end()),
            std::vector<unsigned char>(8, 0xAB));
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
  platform::MemFree(bitmap);
}

// Rows are written only where a well-formed uncompressed bitmap keeps them.
TEST(StripWriterTest, CompressedOrShortBitmapsAreNotWritten) {
  test::BitmapSpec rle{.width = 4, .height = 2, .compression = 1};
  test::BitmapSpec shortOne{.width = 4, .height = 2};
  shortOne = test::Complete(shortOne);
  shortOne.pixelBytes = 4;  // one row of two
  const std::vector<unsigned char> strip(2 * 4, 0xAB);
  for (const test::BitmapSpec& shape : {test::Complete(rle), shortOne}) {
    DibHandle bitmap = test::ToBlock(test::PackedBitmap(shape));
    const std::vector<unsigned char> before = BlockBytes(bitmap);
    {
      StripWriter writer(bitmap);
      EXPECT_FALSE(writer.ok()) << shape.compression;
      writer.Write(0, 2, 4, strip.data(), strip.size());
    }
    EXPECT_EQ(BlockBytes(bitmap), before) << shape.compression;
    platform::MemFree(bitmap);
  }
}

TEST(StripWriterTest, BytesAvailableAreWhatWasWrittenWithinTheBuffer) {
  EXPECT_EQ(StripBytesAvailable(0, 100), 100u) << "0: the Source did not say";
  EXPECT_EQ(StripBytesAvailable(40, 100), 40u);
  EXPECT_EQ(StripBytesAvailable(400, 100), 100u);
}

TEST(StripWriterTest, ProtocolNotesNameOnlyWhatIsWrong) {
  TW_IMAGEMEMXFER strip{};
  strip.Compression = TWCP_NONE;
  strip.Rows = 4;
  strip.YOffset = 2;
  strip.BytesWritten = 16;
  TW_IMAGEINFO info{};
  info.ImageLength = 6;
  info.ImageWidth = 8;
  info.BitsPerPixel = 8;
  strip.BytesPerRow = 8;
  strip.Columns = 8;
  // Exactly the rows left, and a buffer it fills: nothing to say.
  EXPECT_EQ(StripProtocolNote(strip, info, 2, 16), "");
  // One row more than is left.
  strip.Rows = 5;
  EXPECT_EQ(StripProtocolNote(strip, info, 2, 40), "1 rows beyond ImageLength (6)");
  // A length not known in advance has no rows beyond it.
  info.ImageLength = 0;
  EXPECT_EQ(StripProtocolNote(strip, info, 2, 40), "");
  strip.YOffset = 0;
  EXPECT_EQ(StripProtocolNote(strip, info, 0, 40), "");
  info.ImageLength = -1;
  EXPECT_EQ(StripProtocolNote(strip, info, 0, 40), "");

  // Row lengths and widths are checked for raw data only, whether it says
  // so with TWCP_NONE or with 0xFFFF.
  strip.BytesPerRow = 4;
  strip.Columns = 7;
  const std::string shortRows =
      "BytesPerRow (4) is shorter than the image's row (8 bytes); Columns (7) is not ImageWidth "
      "(8)";
  EXPECT_EQ(StripProtocolNote(strip, info, 0, 40), shortRows);
  strip.Compression = 0xFFFF;
  EXPECT_EQ(StripProtocolNote(strip, info, 0, 40), shortRows);
  strip.Compression = TWCP_JPEG;
  EXPECT_EQ(StripProtocolNote(strip, info, 0, 40), "");
}

}  // namespace
