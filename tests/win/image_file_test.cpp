// The Windows Imaging Component decodes the same files to the same pixels as
// libjpeg-turbo on the host (the reference bitmaps beside the JPEG files),
// within the rounding of the colour conversion.
#include "imaging/image_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "platform/message_box.h"
#include "session/twain_session.h"

namespace {

constexpr int kTolerance = 2;

void ExpectCloseBitmap(const DibImage& actual, const DibImage& expected) {
  ASSERT_NE(actual.Header(), nullptr);
  ASSERT_NE(expected.Header(), nullptr);
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  ASSERT_EQ(actual.Depth(), expected.Depth());
  const int rowBytes = expected.Width() * expected.Depth() / 8;
  int worst = 0;
  for (int row = 0; row < expected.Height(); ++row) {
    for (int i = 0; i < rowBytes; ++i) {
      worst = std::max(worst, std::abs(actual.RowAddress(row)[i] - expected.RowAddress(row)[i]));
    }
  }
  EXPECT_LE(worst, kTolerance);
}

TEST(WicJpeg, DecodesColourAndGrayLikeLibjpeg) {
  for (const char* name : {"colour", "gray"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string("fixtures\\") + name;
    DibImage decoded(ImageFile_Load((path + ".jpg").c_str()));
    DibImage reference(ImageFile_Load((path + ".bmp").c_str()));
    EXPECT_EQ(decoded.ColorCount(), reference.ColorCount());
    for (int i = 0; i < decoded.ColorCount(); i += 15) EXPECT_EQ(decoded.Color(i), i * 0x010101u);
    ExpectCloseBitmap(decoded, reference);
  }
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
}

TEST(WicJpeg, RefusesCmykAndExifOnlyFiles) {
  EXPECT_EQ(ImageFile_Load("fixtures\\cmyk.jpg"), nullptr);
  std::vector<platform::MessageBoxRecord> boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "JPEG Library Error -4\n");
  EXPECT_EQ(ImageFile_Load("fixtures\\exif.jpg"), nullptr);
  EXPECT_TRUE(platform::TakeCapturedMessageBoxes().empty());
}

TEST(WicJpeg, IsReleasedAtShutdownAndCreatedAgain) {
  TWAIN_Startup();
  ASSERT_TRUE(JpegLibrary_Load());
  EXPECT_NE(TWAIN_Session().releaseJpegLibrary, nullptr);
  TWAIN_Shutdown();
  EXPECT_EQ(TWAIN_Session().releaseJpegLibrary, nullptr);
  DibImage again(ImageFile_Load("fixtures\\colour.jpg"));
  EXPECT_EQ(again.Width(), 45);
}

}  // namespace
