#include "imaging/header_report.h"

#include <gtest/gtest.h>

#include <string>

#include "bitmap_builder.h"
#include "imaging/dib_image.h"
#include "platform/host/host_platform.h"

namespace {

using test::ToBlock;

// The report of a block that holds its header's size field and nothing more
// names that size; a shorter block names none. Neither leaves a lock.
TEST(HeaderReportTest, ABlockCutInsideItsHeaderReportsWhatItHolds) {
  DibHandle sizeOnly = ToBlock({40, 0, 0, 0});
  EXPECT_NE(HeaderReport(sizeOnly).find(" Header Size  = 40 bytes\r\n"), std::string::npos);
  EXPECT_EQ(BitmapBlockNote(sizeOnly), "the block (4 bytes) ends inside the bitmap header");
  DibHandle threeBytes = ToBlock({40, 0, 0});
  EXPECT_NE(HeaderReport(threeBytes).find(" Header Size  = 0 bytes\r\n"), std::string::npos);
  platform::MemFree(sizeOnly);
  platform::MemFree(threeBytes);
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
}

TEST(HeaderReportTest, CompressionsAreNamedAndUnknownOnesGiveTheirNumber) {
  EXPECT_EQ(CompressionName(kBiRle4), "BI_RLE4 (run-length encoding)");
  EXPECT_EQ(CompressionName(7), "7 - unknown format");
}

// JPEG or PNG data in a well-formed block is reported, but the view shows
// "no image" and the log says why.
TEST(HeaderReportTest, WellFormedDataTheRendererCannotDrawIsNoted) {
  for (std::uint32_t compression : {4u, 5u}) {
    test::BitmapSpec embedded{40, 5, 3, 0, compression};
    embedded.pixelBytes = 16;
    DibImage view(ToBlock(test::PackedBitmap(embedded)));
    EXPECT_EQ(view.Check(), DibCheck::kOk);
    EXPECT_FALSE(view.Drawable());
    EXPECT_EQ(BitmapBlockNote(view.Handle()), "its compression (" + std::to_string(compression) +
                                                  " - unknown format) cannot be drawn");
  }
  DibImage rows(ToBlock(test::PackedBitmap(test::Complete({40, 5, 3, 8}))));
  EXPECT_TRUE(rows.Drawable());
  EXPECT_EQ(BitmapBlockNote(rows.Handle()), "");
}

}  // namespace
