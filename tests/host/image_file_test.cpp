#include "imaging/image_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "platform/host/host_platform.h"
#include "platform/message_box.h"
#include "session/twain_session.h"
#include "tests/host/bitmap_builder.h"

namespace {

using platform::host::GetMemoryStats;
using test::BitmapSpec;
using test::BlockBytes;
using test::Complete;
using test::PackedBitmap;

std::string Fixture(const char* name) {
  return std::string(VORREL_FIXTURES) + "/" + name;
}

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WriteTemp(const std::string& name, const std::vector<unsigned char>& bytes) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A bitmap file around a packed bitmap; bfSize is the file's length unless given.
std::vector<unsigned char> BitmapFile(const std::vector<unsigned char>& dib,
                                      std::uint32_t fileSize = 0) {
  std::vector<unsigned char> file = {'B', 'M'};
  const std::uint32_t fields[3] = {
      fileSize ? fileSize : static_cast<std::uint32_t>(14 + dib.size()), 0, 0};
  file.insert(file.end(), reinterpret_cast<const unsigned char*>(fields),
              reinterpret_cast<const unsigned char*>(fields) + 12);
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

std::vector<platform::MessageBoxRecord> Boxes() {
  return platform::TakeCapturedMessageBoxes();
}

// Header and colour table equal, and every row's pixels (padding aside).
void ExpectSameBitmap(const DibImage& actual, const DibImage& expected) {
  ASSERT_NE(actual.Header(), nullptr);
  ASSERT_NE(expected.Header(), nullptr);
  const std::size_t headerAndTable = 40 + 4 * static_cast<std::size_t>(expected.ColorCount());
  EXPECT_EQ(std::memcmp(actual.Header(), expected.Header(), headerAndTable), 0);
  const auto rowBytes = static_cast<std::size_t>(expected.Width() * expected.Depth() / 8);
  for (int row = 0; row < expected.Height(); ++row) {
    EXPECT_EQ(std::memcmp(actual.RowAddress(row), expected.RowAddress(row), rowBytes), 0)
        << "row " << row;
  }
}

TEST(ImageFileBitmap, ReadsEveryDepthAndHeaderKindByteExact) {
  const BitmapSpec shapes[] = {
      {40, 5, 3, 1},        {40, 5, 3, 4},
      {40, 5, 3, 8},        {40, 5, 3, 24},
      {40, 5, 3, 32},       {12, 5, 3, 8},
      {12, 5, 3, 24},       {108, 5, -3, 24},
      {40, 5, 3, 8, 0, 16}, {40, 7, 2, 16, kBiBitfields, 0, 3},
  };
  for (const BitmapSpec& shape : shapes) {
    SCOPED_TRACE(testing::Message()
                 << shape.headerSize << "-byte header, " << shape.bits << " bits");
    const std::vector<unsigned char> dib = PackedBitmap(Complete(shape));
    const std::string path = WriteTemp("read.bmp", BitmapFile(dib));
    DibHandle handle = ImageFile_Load(path.c_str());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(BlockBytes(handle), dib);
    platform::MemFree(handle);
  }
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(ImageFileBitmap, RefusesFilesWhoseSizesLie) {
  const std::vector<unsigned char> dib = PackedBitmap(Complete({40, 4, 4, 24}));
  const std::uint32_t actual = static_cast<std::uint32_t>(14 + dib.size());
  std::vector<unsigned char> tall = dib;
  tall[8] = 5;  // one row more than the file holds
  const std::vector<unsigned char> files[] = {
      BitmapFile(dib, actual + 1),                       // bfSize larger than the file
      BitmapFile(dib, 0xFFFFFFFF), BitmapFile(dib, 10),  // below the file header: would wrap round
      BitmapFile(dib, 14),         BitmapFile(tall),
      BitmapFile(dib, 14 + 30),  // shorter than its own header says
      {'B', 'M', 1, 2, 3},         {'B', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const std::vector<unsigned char>& file : files) {
    const std::string path = WriteTemp("lie.bmp", file);
    EXPECT_EQ(ImageFile_Load(path.c_str()), nullptr) << file.size() << " bytes";
  }
  EXPECT_TRUE(Boxes().empty()) << "unreadable files show no message";
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
  EXPECT_EQ(ImageFile_Load((testing::TempDir() + "missing.bmp").c_str()), nullptr);
}

// A file cut short while it is read, or a block that cannot be locked:
// nothing is returned and the block read into is freed.
TEST(ImageFileBitmap, UnreadableBlocksAreFreed) {
  const std::string bitmap =
      WriteTemp("cut.bmp", BitmapFile(PackedBitmap(Complete({40, 4, 4, 24}))));
  const std::string jpeg = Fixture("colour.jpg");
  const struct {
    const std::string& path;
    int readsBeforeTheBlock;
  } files[] = {{bitmap, 2}, {jpeg, 1}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.path);
    platform::host::CutFileReadsAfter(file.readsBeforeTheBlock);
    EXPECT_EQ(ImageFile_Load(file.path.c_str()), nullptr);
    platform::host::CutFileReadsAfter(-1);
    platform::host::FailLocks(1);
    EXPECT_EQ(ImageFile_Load(file.path.c_str()), nullptr);
    EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
    EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
  }
  DibHandle whole = ImageFile_Load(bitmap.c_str());
  EXPECT_NE(whole, nullptr) << "the doubles are back to normal";
  platform::MemFree(whole);
}

TEST(ImageFileJpeg, DecodesColourAndGrayToTheReferencePixels) {
  {
    DibImage colour(ImageFile_Load(Fixture("colour.jpg").c_str()));
    DibImage colourReference(ImageFile_Load(Fixture("colour.bmp").c_str()));
    EXPECT_EQ(colour.Depth(), 24);
    EXPECT_EQ(colour.Width(), 45);
    ExpectSameBitmap(colour, colourReference);

    DibImage gray(ImageFile_Load(Fixture("gray.jpg").c_str()));
    DibImage grayReference(ImageFile_Load(Fixture("gray.bmp").c_str()));
    EXPECT_EQ(gray.Depth(), 8);
    EXPECT_EQ(gray.ColorCount(), 256);
    EXPECT_EQ(gray.Color(128), 128u * 0x010101u) << "the gray ramp";
    ExpectSameBitmap(gray, grayReference);
  }
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0) << "the views freed the bitmaps and the file blocks";
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(ImageFileJpeg, ReportsFailuresAsNegativeNumbers) {
  EXPECT_EQ(ImageFile_Load(Fixture("exif.jpg").c_str()), nullptr);
  EXPECT_TRUE(Boxes().empty()) << "an Exif-only file is not recognised, silently";

  const std::vector<unsigned char> colour = FileBytes(Fixture("colour.jpg"));
  std::vector<unsigned char> broken(colour.begin(), colour.begin() + 20);  // JFIF, then noise
  broken.resize(200, 0x55);
  // An APP0 that is not JFIF's is not recognised either, however decodable.
  std::vector<unsigned char> otherApp0 = colour;
  std::memcpy(otherApp0.data() + 6, "JFXX", 4);
  EXPECT_EQ(ImageFile_Load(WriteTemp("app0.jpg", otherApp0).c_str()), nullptr);
  EXPECT_EQ(ImageFile_Load(Fixture("cmyk.jpg").c_str()), nullptr);
  EXPECT_EQ(ImageFile_Load(WriteTemp("broken.jpg", broken).c_str()), nullptr);
  platform::host::FailAllocations(1);
  EXPECT_EQ(Jpeg_Decode(colour.data(), colour.size()), nullptr);
  std::vector<std::string> texts;
  for (const platform::MessageBoxRecord& box : Boxes()) {
    EXPECT_EQ(box.caption, "TWAIN Error");
    texts.push_back(box.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"JPEG Library Error -4\n", "JPEG Library Error -1\n",
                                             "JPEG Library Error -5\n"}));
  EXPECT_EQ(GetMemoryStats().liveBlocks, 0);
  EXPECT_EQ(GetMemoryStats().outstandingLocks, 0);
}

TEST(ImageFileJpeg, TheDecoderIsCreatedOnceAndReleasedAtShutdown) {
  TWAIN_Startup();
  EXPECT_TRUE(JpegLibrary_Load());
  platform::MemFree(ImageFile_Load(Fixture("colour.jpg").c_str()));
  EXPECT_EQ(platform::host::JpegDecoderOpenCount(), 1);
  TWAIN_Shutdown();
  EXPECT_FALSE(platform::host::JpegDecoderIsOpen());
  TWAIN_Startup();
  EXPECT_TRUE(JpegLibrary_Load());
  EXPECT_EQ(platform::host::JpegDecoderOpenCount(), 2) << "created again after the release";
  TWAIN_Shutdown();
}

TEST(ImageFileDialog, OffersTheFiltersTheDecoderAllows) {
  EXPECT_EQ(ImageFile_Load(nullptr), nullptr) << "cancelled";
  platform::host::SetOpenFileAnswer(Fixture("colour.bmp"));
  DibHandle chosen = ImageFile_Load("");
  EXPECT_NE(chosen, nullptr);
  platform::MemFree(chosen);
  std::vector<platform::host::OpenFileRequest> requests = platform::host::TakeOpenFileRequests();
  ASSERT_EQ(requests.size(), 2u);
  using Filters = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(requests[0].filters, (Filters{{"Image Files (*.bmp,*.jpg)", "*.bmp;*.jpg"},
                                          {"Windows Bitmaps (*.bmp)", "*.bmp"},
                                          {"JPEG/JFIF (*.jpg)", "*.jpg"}}));
  EXPECT_EQ(requests[0].defaultExtension, "");
  EXPECT_EQ(requests[0].capacity, 256u);

  // Without a decoder: bitmaps only, and a JPEG file says why it cannot be read.
  TWAIN_ResetSession();
  platform::host::FailJpegDecoderOpen(true);
  platform::host::SetOpenFileAnswer(std::nullopt);
  EXPECT_EQ(ImageFile_Load(nullptr), nullptr);
  requests = platform::host::TakeOpenFileRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].filters, (Filters{{"Windows Bitmaps (*.bmp)", "*.bmp"}}));
  EXPECT_EQ(requests[0].defaultExtension, "bmp");
  EXPECT_EQ(ImageFile_Load(Fixture("colour.jpg").c_str()), nullptr);
  const std::vector<platform::MessageBoxRecord> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cannot read JPEG file: IJL11.DLL or IJL10.DLL not found.");
  chosen = ImageFile_Load(Fixture("gray.bmp").c_str());
  EXPECT_NE(chosen, nullptr);
  platform::MemFree(chosen);
}

}  // namespace
