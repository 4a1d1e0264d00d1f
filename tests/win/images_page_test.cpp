// The Images page in the real probe window, transferring from the Sample
// Source through Wine's Source Manager by each mechanism, and surviving the
// Fault Lab's broken transfers.
#include "probe/images_page.h"

#include <commctrl.h>
#include <objbase.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "caps/logged_operations.h"
#include "imaging/image_file.h"
#include "pages/log.h"
#include "platform/file_reader.h"
#include "platform/message_box.h"
#include "probe/image_saving.h"
#include "probe/probe_window.h"
#include "probe/resource_ids.h"
#include "probe_window_fixture.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The rows of a shown image, top first, for comparing two transfers.
std::vector<unsigned char> Pixels(const DibImage& image) {
  std::vector<unsigned char> pixels;
  const std::size_t row = static_cast<std::size_t>((image.Width() * image.Depth() + 7) / 8);
  for (int y = 0; y < image.Height(); ++y) {
    const unsigned char* address = image.RowAddress(y);
    if (address) pixels.insert(pixels.end(), address, address + row);
  }
  return pixels;
}

// Red | green << 8 | blue << 16 at an 8 x 8 grid over a 24- or 32-bit image.
std::vector<std::uint32_t> Samples(const DibImage& image) {
  std::vector<std::uint32_t> colours;
  for (int i = 0; i < 64; ++i) {
    const unsigned char* p = image.RowAddress(image.Height() * (i / 8) / 8) +
                             image.Width() * (i % 8) / 8 * (image.Depth() / 8);
    colours.push_back(p[2] | p[1] << 8 | p[0] << 16);
  }
  return colours;
}

class ImagesPageTest : public ProbeWindowTest {
 protected:
  void SetUp() override {
    ProbeWindowTest::SetUp();
    Open();
    ASSERT_EQ(TWAIN_State(), 4);
    page_ = static_cast<ImagesPage*>(window_->page(3));
    ASSERT_NE(page_->hwnd(), nullptr);
  }
  void TearDown() override {
    SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
    ProbeWindowTest::TearDown();
    platform::TakeCapturedMessageBoxes();
  }

  bool LogHas(const std::string& prefix) const {
    const Strings lines = Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return StartsWith(line, prefix); });
  }
  // Opens the Fault Lab with the misbehaviour chosen.
  void OpenFaultLab(const char* faults) {
    SetEnvironmentVariableA("VORREL_FAULT_LAB", faults);
    ChooseSource("Sample Fault Lab");
    ASSERT_STREQ(TWAIN_SourceProductName(), "Sample Fault Lab");
    ASSERT_EQ(TWAIN_State(), 4);
  }
  // From state 4: negotiates the mechanism (and a pixel type), enables
  // without the Source's dialog, and transfers with Higher.
  void Acquire(int mechanism, int pixelType = -1) {
    ASSERT_EQ(TWAIN_State(), 4);
    ASSERT_TRUE(LoggedSetOneValue(ICAP_XFERMECH, TWTY_UINT16, mechanism));
    if (pixelType >= 0) {
      ASSERT_TRUE(LoggedSetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, pixelType));
    }
    TWAIN_SetUIHidden(true);
    Click(IDC_HIGHER);
    ASSERT_TRUE(PumpUntilState(6)) << testing::PrintToString(Lines());
    TW_IMAGEINFO info{};
    ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info));
    pending_ = info;
    Click(IDC_HIGHER);
  }
  // Back to state 4 with End Xfer, Abort and Disable as the state asks.
  void BackToFour() {
    for (int i = 0; i < 6 && TWAIN_State() > 4; ++i) Click(IDC_LOWER);
    ASSERT_EQ(TWAIN_State(), 4);
  }
  std::string Info() const { return Text(GetDlgItem(page_->hwnd(), IDC_IMAGE_INFO)); }
  // Shown by its own style: the page itself is hidden behind another tab.
  bool Visible(HWND dialog, int id) const {
    return (GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
  }
  int ImageTabCount() const {
    return static_cast<int>(
        SendDlgItemMessageA(page_->hwnd(), IDC_IMAGE_TABS, TCM_GETITEMCOUNT, 0, 0));
  }

  ImagesPage* page_ = nullptr;
  TW_IMAGEINFO pending_{};
};

TEST_F(ImagesPageTest, StartsEmptyWithOneTabAndOneToOneZoom) {
  EXPECT_EQ(page_->image().Handle(), nullptr);
  EXPECT_EQ(ImageTabCount(), 1);
  EXPECT_EQ(Text(GetDlgItem(page_->hwnd(), IDC_ZOOM_TEXT)), "1x");
  EXPECT_EQ(page_->infoText(), "no image");
  EXPECT_TRUE(Visible(page_->paletteViewer().hwnd(), -1)) << "Empty Color Table";
  EXPECT_FALSE(Visible(page_->paletteViewer().hwnd(), IDC_PALETTE_SWATCH));
}

TEST_F(ImagesPageTest, EachMechanismShowsTheChartWithItsReport) {
  const std::pair<int, const char*> mechanisms[] = {{TWSX_NATIVE, " Received via Native Transfer"},
                                                    {TWSX_FILE, " Received via File Transfer"},
                                                    {TWSX_MEMORY, " Received via Memory Transfer"}};
  std::vector<unsigned char> nativePixels;
  for (const auto& [mechanism, heading] : mechanisms) {
    SCOPED_TRACE(heading);
    Acquire(mechanism);
    ASSERT_EQ(TWAIN_State(), 7) << testing::PrintToString(Lines());
    EXPECT_TRUE(StartsWith(Lines().back(), "Transfer Time: ")) << Lines().back();
    ASSERT_EQ(page_->image().Check(), DibCheck::kOk);
    EXPECT_EQ(page_->image().Width(), pending_.ImageWidth);
    EXPECT_EQ(page_->image().Height(), pending_.ImageLength);
    EXPECT_TRUE(StartsWith(Info(), heading)) << Info();
    EXPECT_EQ(ImageTabCount(), 2);
    // The chart is larger than the view: it opens reduced.
    EXPECT_EQ(Text(GetDlgItem(page_->hwnd(), IDC_ZOOM_TEXT)).find('/'), 1u);
    EXPECT_FALSE(Visible(page_->paletteViewer().hwnd(), IDC_PALETTE_SWATCH)) << "24 bits";
    if (mechanism == TWSX_NATIVE) nativePixels = Pixels(page_->image());
    if (mechanism == TWSX_MEMORY) {
      EXPECT_TRUE(Pixels(page_->image()) == nativePixels) << "native and memory agree";
      EXPECT_NE(
          Info().find(" Width           = " + std::to_string(pending_.ImageWidth) + " columns\r\n"),
          std::string::npos);
    }
    BackToFour();
  }
}

TEST_F(ImagesPageTest, GrayImagesShowThePaletteAndTheZoomButtonsStep) {
  Acquire(TWSX_MEMORY, TWPT_GRAY);
  ASSERT_EQ(page_->image().Depth(), 8);
  HWND viewer = page_->paletteViewer().hwnd();
  EXPECT_TRUE(Visible(viewer, IDC_PALETTE_SWATCH));
  EXPECT_FALSE(Visible(viewer, -1));
  // A click on the third cell of the second row: entry 18 of the gray ramp.
  HWND swatch = GetDlgItem(viewer, IDC_PALETTE_SWATCH);
  RECT client;
  GetClientRect(swatch, &client);
  const int cell = std::min(client.right, client.bottom) / 16;
  SendMessageA(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2 * cell + 1, cell + 1));
  EXPECT_EQ(Text(GetDlgItem(viewer, IDC_PALETTE_ENTRY)), "color 18: R( 18) G( 18) B( 18)");

  const std::string fitted = Text(GetDlgItem(page_->hwnd(), IDC_ZOOM_TEXT));
  ClickOn(page_->hwnd(), IDC_ZOOM_IN);
  ClickOn(page_->hwnd(), IDC_ZOOM_OUT);
  EXPECT_EQ(Text(GetDlgItem(page_->hwnd(), IDC_ZOOM_TEXT)), fitted);
  for (int i = 0; i < 8; ++i) ClickOn(page_->hwnd(), IDC_ZOOM_IN);
  EXPECT_EQ(Text(GetDlgItem(page_->hwnd(), IDC_ZOOM_TEXT)).back(), 'x');

  // The Info tab shows the report; a failed next transfer falls back to the image tab.
  page_->SelectTab(1);
  EXPECT_TRUE(Visible(page_->hwnd(), IDC_IMAGE_INFO));
  EXPECT_FALSE(Visible(page_->hwnd(), IDC_IMAGE_VIEW));
  page_->Clear();
  EXPECT_EQ(SendDlgItemMessageA(page_->hwnd(), IDC_IMAGE_TABS, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(Visible(page_->hwnd(), IDC_IMAGE_VIEW));
  EXPECT_FALSE(Visible(viewer, IDC_PALETTE_SWATCH));
}

TEST_F(ImagesPageTest, SavedBitmapsAndPngsReadBack) {
  Acquire(TWSX_NATIVE, TWPT_GRAY);
  ASSERT_EQ(page_->image().Check(), DibCheck::kOk);
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  const std::string bmp = std::string(folder) + "vorrel-saved.bmp";
  const std::string png = std::string(folder) + "vorrel-saved.png";
  ASSERT_TRUE(SaveImageFile(bmp.c_str(), page_->image().Handle()));
  {
    platform::OpenedFile file(bmp.c_str());
    DibImage loaded(ImageFile_Read(file.get()));
    ASSERT_EQ(loaded.Check(), DibCheck::kOk);
    EXPECT_TRUE(Pixels(loaded) == Pixels(page_->image()));
    EXPECT_EQ(loaded.Color(200), page_->image().Color(200));
  }
  ASSERT_TRUE(SaveImageFile(png.c_str(), page_->image().Handle()));
  // The PNG goes back through the same imaging component that wrote it.
  IWICImagingFactory* factory = nullptr;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(
      SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))));
  std::wstring widePng(png.begin(), png.end());
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  ASSERT_TRUE(SUCCEEDED(factory->CreateDecoderFromFilename(
      widePng.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand, &decoder)));
  ASSERT_TRUE(SUCCEEDED(decoder->GetFrame(0, &frame)));
  UINT width = 0, height = 0;
  frame->GetSize(&width, &height);
  WICPixelFormatGUID format{};
  frame->GetPixelFormat(&format);
  EXPECT_EQ(static_cast<int>(width), page_->image().Width());
  EXPECT_EQ(static_cast<int>(height), page_->image().Height());
  EXPECT_TRUE(IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed));
  frame->Release();
  decoder->Release();
  factory->Release();
  CoUninitialize();
  DeleteFileA(bmp.c_str());
  DeleteFileA(png.c_str());
}

TEST_F(ImagesPageTest, BrokenStripsAreNotedAndTheNextTransferWorks) {
  const std::pair<const char*, const char*> faults[] = {
      {"strip-overrun", "   BytesWritten ("},
      {"strip-overlap", "YOffset ("},
      {"strip-extra-rows", " rows beyond ImageLength ("}};
  for (const auto& [fault, note] : faults) {
    SCOPED_TRACE(fault);
    OpenFaultLab(fault);
    Acquire(TWSX_MEMORY);
    const Strings lines = Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return StartsWith(line, "   ") && line.find(note) != std::string::npos;
    })) << testing::PrintToString(lines);
    EXPECT_TRUE(LogHas("Memory transfer completed successfully.") ||
                LogHas("Memory transfer failed."));
    EXPECT_TRUE(StartsWith(lines.back(), "Transfer Time: "));
    const int state = TWAIN_State();
    EXPECT_TRUE(state == 6 || state == 7) << state;
    BackToFour();
  }
  // The page is usable for the next transfer.
  SetEnvironmentVariableA("VORREL_FAULT_LAB", nullptr);
  OpenFaultLab("");
  Acquire(TWSX_MEMORY);
  EXPECT_EQ(page_->image().Check(), DibCheck::kOk);
  EXPECT_EQ(page_->image().Height(), pending_.ImageLength);
}

TEST_F(ImagesPageTest, LyingBitmapsAndFilesThatAreNotImagesShowNoImage) {
  OpenFaultLab("bitmap-header-lies");
  Acquire(TWSX_NATIVE);
  EXPECT_TRUE(LogHas("DIB received"));
  EXPECT_TRUE(LogHas("   the bitmap is not shown: the header describes more pixel data"))
      << testing::PrintToString(Lines());
  EXPECT_NE(page_->image().Check(), DibCheck::kOk);
  // Not drawn, but its header report stays on the Info tab.
  EXPECT_EQ(ImageTabCount(), 2);
  EXPECT_TRUE(StartsWith(page_->infoText(), " Received via Native Transfer")) << page_->infoText();
  BackToFour();

  OpenFaultLab("file-not-image");
  Acquire(TWSX_FILE);
  EXPECT_TRUE(LogHas("File Xfer Done: \""));
  const Strings lines = Lines();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("could not be read as a") != std::string::npos;
  })) << testing::PrintToString(lines);
  EXPECT_EQ(page_->image().Handle(), nullptr);
  EXPECT_EQ(ImageTabCount(), 2) << "the received file's text stays reachable";
  EXPECT_TRUE(StartsWith(page_->infoText(), " Received via File Transfer")) << page_->infoText();
  BackToFour();

  // Afterwards a clean native transfer shows.
  OpenFaultLab("");
  Acquire(TWSX_NATIVE);
  EXPECT_EQ(page_->image().Check(), DibCheck::kOk);
}

TEST_F(ImagesPageTest, AnHBitmapFromTheSourceIsShownUprightWithANote) {
  Acquire(TWSX_NATIVE);
  const std::vector<std::uint32_t> flatbed = Samples(page_->image());
  BackToFour();
  OpenFaultLab("hbitmap");
  Acquire(TWSX_NATIVE);
  EXPECT_TRUE(
      LogHas("   the Source returned an HBITMAP, not a DIB in global memory; it was "
             "converted and deleted"))
      << testing::PrintToString(Lines());
  ASSERT_EQ(page_->image().Check(), DibCheck::kOk);
  EXPECT_EQ(page_->image().Width(), pending_.ImageWidth);
  EXPECT_EQ(page_->image().Height(), pending_.ImageLength);
  EXPECT_TRUE(Samples(page_->image()) == flatbed) << "the Flatbed's picture, the right way up";
  EXPECT_EQ(ImageTabCount(), 2);
  BackToFour();
}

TEST_F(ImagesPageTest, PendingCountOfFfffKeepsTheLadderInStep) {
  OpenFaultLab("pending-ffff");
  ASSERT_TRUE(LoggedSetOneValue(CAP_FEEDERENABLED, TWTY_BOOL, 1));
  Acquire(TWSX_NATIVE);
  ASSERT_EQ(TWAIN_State(), 7);
  Click(IDC_LOWER);
  EXPECT_EQ(TWAIN_State(), 6) << "more images pending";
  EXPECT_EQ(Text(GetDlgItem(window_->hwnd(), IDC_HIGHER)), "Start Transfer");
  Click(IDC_HIGHER);
  EXPECT_EQ(TWAIN_State(), 7);
  EXPECT_EQ(page_->image().Check(), DibCheck::kOk);
  BackToFour();
}

}  // namespace
