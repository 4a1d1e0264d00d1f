#include "imaging/bitmap_file.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "imaging/dib_image.h"
#include "imaging/image_file.h"
#include "platform/file_reader.h"
#include "platform/host/host_platform.h"
#include "tests/host/bitmap_builder.h"

namespace {

TEST(BitmapFileTest, WrittenBytesReadBackToTheSamePixelsAndTable) {
  DibHandle source = test::ToBlock(test::PackedBitmap(test::Complete({40, 5, -3, 8, 0, 20})));
  const std::vector<unsigned char> bytes = BitmapFileBytes(source);
  ASSERT_EQ(bytes.size(), 14u + 40 + 80 + 8 * 3);
  const std::string path = testing::TempDir() + "vorrel_bitmap_file_test.bmp";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  {
    platform::OpenedFile opened(path.c_str());
    DibImage original(source), loaded(ImageFile_Read(opened.get()));
    ASSERT_EQ(loaded.Check(), DibCheck::kOk);
    EXPECT_EQ(test::BlockBytes(loaded.Handle()), test::BlockBytes(source));
    // The offset of the pixels in the file header is where they are.
    std::uint32_t offBits = 0;
    std::memcpy(&offBits, bytes.data() + 10, 4);
    EXPECT_EQ(offBits, 14u + 40 + 80);

    TopDownPicture picture;
    ASSERT_TRUE(DIB_TopDownPicture(source, picture));
    EXPECT_EQ(picture.stride, 8u);
    EXPECT_EQ(picture.table.size(), 20u);
    // The same picture filled again holds this bitmap's table alone.
    ASSERT_TRUE(DIB_TopDownPicture(source, picture));
    EXPECT_EQ(picture.table.size(), 20u);
    EXPECT_EQ(std::memcmp(picture.rows.data(), original.RowAddress(0), 8), 0) << "top first";
  }
  std::remove(path.c_str());
  EXPECT_EQ(platform::host::GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(platform::host::GetMemoryStats().outstandingLocks, 0);
}

TEST(BitmapFileTest, BlocksThatAreNotBitmapsGiveNothing) {
  std::vector<unsigned char> lie = test::PackedBitmap(test::Complete({40, 4, 4, 8}));
  const std::int32_t rows = 40;
  std::memcpy(lie.data() + 8, &rows, 4);
  DibHandle block = test::ToBlock(lie);
  EXPECT_TRUE(BitmapFileBytes(block).empty());
  EXPECT_TRUE(BitmapFileBytes(nullptr).empty());
  TopDownPicture picture;
  EXPECT_FALSE(DIB_TopDownPicture(block, picture));
  DibHandle deep = DIB_Create(16, 2, 2);
  EXPECT_FALSE(DIB_TopDownPicture(deep, picture)) << "no PNG form for 16 bits";
  DibHandle wide = test::ToBlock(test::PackedBitmap(test::Complete({40, 2, 2, 8, 0, 300})));
  ASSERT_TRUE(DIB_TopDownPicture(wide, picture));
  EXPECT_EQ(picture.table.size(), 256u) << "a PNG palette holds 256 entries";
  platform::MemFree(wide);
  platform::MemFree(block);
  platform::MemFree(deep);
}

}  // namespace
