// Memory and file transfers, the scan dialog and the DLL's own help, through
// Wine's Source Manager and the installed Sample Source.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_queue.h"
#include "platform/tick_count.h"
#include "sample_source/fault_lab.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "tests/e2e/sample_e2e_support.h"
#include "tests/host/sample_chart_reference.h"

namespace {

using namespace sample_e2e;

class SampleTransferTest : public testing::Test {
 protected:
  void SetUp() override {
    TWAIN_Startup();
    ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    ASSERT_TRUE(OpenSource("Sample Flatbed"));
    // Small pages keep the checks quick: 425 x 550 at 50 dots per inch.
    ASSERT_TRUE(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 50));
    ASSERT_TRUE(SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, 50));
  }
  void TearDown() override {
    TWAIN_UnbindManager();
    EXPECT_EQ(TWAIN_State(), 1);
    TWAIN_Shutdown();
  }
};

TEST_F(SampleTransferTest, MemoryTransferOfTwoPalettePages) {
  ASSERT_TRUE(SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY));
  ASSERT_TRUE(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_PALETTE));
  ASSERT_TRUE(SetOneValue(CAP_XFERCOUNT, TWTY_INT16, 2));
  TWAIN_SetUIHidden(true);
  ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
  ASSERT_EQ(PumpForSourceEvent(5000), MSG_XFERREADY);
  for (int page = 1; page <= 2; ++page) {
    SCOPED_TRACE(page);
    EXPECT_EQ(TWAIN_State(), 6);
    TW_PALETTE8 palette{};
    ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette));
    std::vector<chart_reference::Colour> colours;
    for (int i = 0; i < palette.NumColors; ++i) {
      colours.push_back(
          {palette.Colors[i].Channel1, palette.Colors[i].Channel2, palette.Colors[i].Channel3});
    }
    TW_SETUPMEMXFER setup{};
    ASSERT_TRUE(TWAIN_DS(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup));
    std::vector<std::uint8_t> buffer(setup.Preferred);
    std::vector<std::uint8_t> values;
    int strips = 0;
    for (;;) {
      TW_IMAGEMEMXFER strip{};
      strip.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                      buffer.data()};
      const bool ok = TWAIN_DS(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
      ASSERT_TRUE(ok);
      ++strips;
      EXPECT_EQ(TWAIN_State(), 7);
      for (TW_UINT32 r = 0; r < strip.Rows; ++r) {
        for (int x = 0; x < 425; ++x) {
          chart_reference::AppendPixel(buffer.data() + r * strip.BytesPerRow, x, 8, false, values);
        }
      }
      if (TWAIN_GetResultCode() == TWRC_XFERDONE) break;
    }
    EXPECT_GT(strips, 1);
    EXPECT_EQ(values, chart_reference::ExpectedValues(425, 550, page, TWPT_PALETTE, 8, colours));
    ASSERT_TRUE(TWAIN_XferEnd());
    EXPECT_EQ(TWAIN_State(), page == 1 ? 6 : 5);  // the pending count goes down
  }
  ASSERT_TRUE(TWAIN_SourceDisable());
}

std::string TempPath(const char* name) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof(folder), folder);
  return std::string(folder) + name;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

TEST_F(SampleTransferTest, FileTransfersWriteBmpAndJfif) {
  ASSERT_TRUE(SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE));
  ASSERT_TRUE(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY));
  TWAIN_SetUIHidden(true);
  const struct {
    TW_UINT16 format;
    const char* name;
  } files[] = {{TWFF_BMP, "vorrel_e2e.bmp"}, {TWFF_JFIF, "vorrel_e2e.jpg"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
    ASSERT_EQ(PumpForSourceEvent(5000), MSG_XFERREADY);
    TW_SETUPFILEXFER setup{};
    const std::string path = TempPath(f.name);
    std::snprintf(setup.FileName, sizeof(setup.FileName), "%s", path.c_str());
    setup.Format = f.format;
    ASSERT_TRUE(TWAIN_DS(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup));
    ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr));
    EXPECT_EQ(TWAIN_State(), 7);
    const std::vector<std::uint8_t> file = ReadFile(path);
    ASSERT_GT(file.size(), 14u);
    if (f.format == TWFF_BMP) {
      const auto dib = chart_reference::ReadDib(file.data() + 14, file.size() - 14);
      EXPECT_EQ(dib.values, chart_reference::ExpectedValues(425, 550, 1, TWPT_GRAY, 8, {}));
    } else {
      EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 4),
                (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
      EXPECT_EQ(std::string(file.begin() + 6, file.begin() + 10), "JFIF");
    }
    DeleteFileA(path.c_str());
    ASSERT_TRUE(TWAIN_XferEnd());
    ASSERT_TRUE(TWAIN_SourceDisable());
  }
}

HWND ScanDialog() {
  return FindWindowA("VorrelSampleScanDialog", nullptr);
}

TEST_F(SampleTransferTest, ScanDialogScansAndCancelAsksToBeClosed) {
  TWAIN_SetUIHidden(false);
  ASSERT_TRUE(TWAIN_SourceEnable(nullptr));
  EXPECT_EQ(TWAIN_State(), 5);
  HWND dialog = ScanDialog();
  ASSERT_NE(dialog, nullptr);
  char title[64] = {};
  GetWindowTextA(dialog, title, sizeof(title));
  EXPECT_STREQ(title, "Sample Flatbed");
  HWND scan = GetDlgItem(dialog, IDOK);
  ASSERT_NE(scan, nullptr);
  GetWindowTextA(scan, title, sizeof(title));
  EXPECT_STREQ(title, "Scan");

  SendMessageA(scan, BM_CLICK, 0, 0);
  ASSERT_EQ(PumpForSourceEvent(5000), MSG_XFERREADY);
  EXPECT_EQ(TWAIN_State(), 6);
  EXPECT_EQ(ScanDialog(), nullptr);  // gone while the image is transferred
  TW_HANDLE image = nullptr;
  ASSERT_TRUE(TWAIN_DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image));
  platform::MemFree(image);
  ASSERT_TRUE(TWAIN_XferEnd());
  EXPECT_EQ(TWAIN_State(), 5);

  dialog = ScanDialog();  // back for the next job
  ASSERT_NE(dialog, nullptr);
  SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_EQ(PumpForSourceEvent(5000), MSG_CLOSEDSREQ);
  ASSERT_TRUE(TWAIN_SourceDisable());
  EXPECT_EQ(TWAIN_State(), 4);
  EXPECT_EQ(ScanDialog(), nullptr);
}

TEST_F(SampleTransferTest, TheDllExportsTheFaultLabHelp) {
  HMODULE source = GetModuleHandleA("sane.ds");
  ASSERT_NE(source, nullptr) << "the Manager loaded the Sample Source as sane.ds";
  using HelpText = const char* (*)();
  auto help = reinterpret_cast<HelpText>(
      reinterpret_cast<void*>(GetProcAddress(source, "FaultLabHelpText")));
  ASSERT_NE(help, nullptr);
  ASSERT_NE(GetProcAddress(source, "FaultLabHelp"), nullptr);
  const std::string text = help();
  for (const sample::MisbehaviourEntry& m : sample::kMisbehaviours) {
    EXPECT_NE(text.find(m.name), std::string::npos) << m.name;
  }
}

}  // namespace
