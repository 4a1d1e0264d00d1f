// The Fault Lab: choosing misbehaviours by text, their help, and what each
// one does, only in the Fault Lab identity.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/fault_guard.h"
#include "platform/host/host_platform.h"
#include "sample_source/fault_lab.h"
#include "sample_source/image_writers.h"
#include "tests/host/sample_source_harness.h"

namespace {

using sample::Misbehaviour;
using sample_test::Harness;
using sample_test::Val;

TEST(SampleFaultLab, SelectionTextNamesEntriesWithTheirArguments) {
  const sample::FaultParse parse = sample::ParseFaults(
      "crash-get:ICAP_PIXELTYPE, fail-cap:0x0102:TWCC_BADVALUE;refuse-enable # the rest is a "
      "comment, pending-ffff\n  bogus crash-get container-overcount:4353 enable-checkstatus:1 "
      "fail-cap:ICAP_NOSUCH");
  const sample::FaultSelection& s = parse.selection;
  EXPECT_TRUE(s.Has(Misbehaviour::kCrashGet));
  EXPECT_EQ(s.Arg(Misbehaviour::kCrashGet, 0), ICAP_PIXELTYPE);
  EXPECT_EQ(s.Arg(Misbehaviour::kFailCapability, 0), ICAP_UNITS);
  EXPECT_EQ(s.Arg(Misbehaviour::kFailCapability, 1), TWCC_BADVALUE);
  EXPECT_TRUE(s.Has(Misbehaviour::kRefuseEnable));
  EXPECT_EQ(s.Arg(Misbehaviour::kRefuseEnable, 0), TWCC_BUMMER);
  EXPECT_FALSE(s.Has(Misbehaviour::kPendingUnknown));  // inside the comment
  EXPECT_TRUE(s.HasFor(Misbehaviour::kContainerOvercount, ICAP_BRIGHTNESS));
  EXPECT_FALSE(s.HasFor(Misbehaviour::kContainerOvercount, ICAP_UNITS));
  EXPECT_FALSE(s.Has(Misbehaviour::kEnableCheckStatus));
  EXPECT_EQ(parse.problems, (std::vector<std::string>{"bogus", "crash-get", "enable-checkstatus:1",
                                                      "fail-cap:ICAP_NOSUCH"}));
  EXPECT_TRUE(sample::ParseFaults("container-overcount")
                  .selection.HasFor(Misbehaviour::kContainerOvercount, ICAP_UNITS));
  EXPECT_FALSE(sample::CapabilityCodeOf("0x10000"));
  EXPECT_EQ(sample::ConditionCodeOf("13"), TWCC_CAPUNSUPPORTED);
}

TEST(SampleFaultLab, HelpAndTheDocumentedFileListEveryMisbehaviour) {
  const std::string help = sample::FaultLabHelp();
  // The fixtures' path is absolute; __FILE__ may be relative to the build folder.
  std::string root = VORREL_FIXTURES;
  root.erase(root.rfind("tests/fixtures"));
  std::ifstream file(root + "sample_source/README.md");
  const std::string readme{std::istreambuf_iterator<char>(file), {}};
  ASSERT_FALSE(readme.empty());
  for (const sample::MisbehaviourEntry& m : sample::kMisbehaviours) {
    EXPECT_NE(help.find(std::string(m.name)), std::string::npos) << m.name;
    EXPECT_NE(readme.find("`" + std::string(m.name)), std::string::npos) << m.name;
  }
  EXPECT_NE(help.find("fail-cap:CAP[:CONDITION]"), std::string::npos);
  EXPECT_NE(help.find("container-overcount[:CAP]"), std::string::npos);
}

TEST(SampleFaultLab, MisbehavioursHappenOnlyInTheFaultLab) {
  const std::string everything =
      "crash-get:ICAP_PIXELTYPE fail-cap:ICAP_UNITS refuse-enable container-overcount "
      "pump-in-triplet";
  Harness flatbed(everything);
  ASSERT_EQ(flatbed.Open(sample::kFlatbedName), TWRC_SUCCESS);
  EXPECT_EQ(flatbed.Get(MSG_GET, ICAP_PIXELTYPE).rc, TWRC_SUCCESS);
  EXPECT_EQ(flatbed.Get(MSG_GET, ICAP_UNITS).At<TW_UINT32>(2), 6u);
  EXPECT_EQ(flatbed.Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(flatbed.host.pumps, 0);

  Harness lab(everything);
  ASSERT_EQ(lab.Open(sample::kFaultLabName), TWRC_SUCCESS);
  EXPECT_EQ(lab.Get(MSG_GETCURRENT, ICAP_UNITS).rc, TWRC_FAILURE);
  EXPECT_GT(lab.host.pumps, 0);
  EXPECT_EQ(lab.Condition(), TWCC_BUMMER);
  EXPECT_EQ(lab.SetOne(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS), TWRC_FAILURE);
  // The enumeration claims 1000 items more than its block holds.
  const sample_test::Answer xfer = lab.Get(MSG_GET, ICAP_XFERMECH);
  EXPECT_EQ(xfer.At<TW_UINT32>(2), 1003u);
  EXPECT_EQ(xfer.bytes.size(), sizeof(TW_ENUMERATION) + 3 * 2);
  EXPECT_EQ(lab.Enable(false), TWRC_FAILURE);
  EXPECT_EQ(lab.State(), 4);

  platform::FaultInfo fault;
  EXPECT_FALSE(platform::RunGuarded([&] { lab.Get(MSG_GETDEFAULT, ICAP_PIXELTYPE); }, &fault));
  EXPECT_EQ(fault.code, platform::kFaultAccessViolation);
  EXPECT_EQ(lab.Get(MSG_GET, ICAP_BITDEPTH).rc, TWRC_SUCCESS);
}

TEST(SampleFaultLab, EnableMisbehaviours) {
  Harness checkStatus("enable-checkstatus");
  ASSERT_EQ(checkStatus.Open(sample::kFaultLabName), TWRC_SUCCESS);
  EXPECT_EQ(checkStatus.Enable(false), TWRC_CHECKSTATUS);
  EXPECT_EQ(checkStatus.State(), 6);

  Harness closeRequest("close-after-enable");
  ASSERT_EQ(closeRequest.Open(sample::kFaultLabName), TWRC_SUCCESS);
  EXPECT_EQ(closeRequest.Enable(false), TWRC_SUCCESS);
  EXPECT_EQ(closeRequest.host.notified, std::vector<TW_UINT16>{MSG_CLOSEDSREQ});
  EXPECT_EQ(closeRequest.State(), 5);

  Harness unknownCount("pending-ffff");
  ASSERT_EQ(unknownCount.Open(sample::kFaultLabName), TWRC_SUCCESS);
  ASSERT_EQ(unknownCount.SetOne(CAP_XFERCOUNT, TWTY_INT16, 2), TWRC_SUCCESS);
  ASSERT_EQ(unknownCount.Enable(false), TWRC_SUCCESS);
  TW_UINT16 count = 0;
  EXPECT_EQ(unknownCount.EndXfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0xFFFF);
  EXPECT_EQ(unknownCount.EndXfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(unknownCount.State(), 5);
}

struct Strip {
  TW_UINT32 rows, yOffset, bytesWritten;
  TW_UINT16 rc;
};

// Memory strips of a buffer of `rowsPerBuffer` rows, with guard bytes after it.
std::vector<Strip> Strips(const char* faults, int rowsPerBuffer, bool* guardIntact) {
  Harness h(faults);
  EXPECT_EQ(h.Open(sample::kFaultLabName), TWRC_SUCCESS);
  EXPECT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 50), TWRC_SUCCESS);
  EXPECT_EQ(h.Enable(false), TWRC_SUCCESS);
  TW_SETUPMEMXFER setup{};
  h.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
  const std::size_t length = setup.MinBufSize * rowsPerBuffer;
  std::vector<std::uint8_t> buffer(length + 64, 0xA5);
  std::vector<Strip> strips;
  for (TW_UINT16 rc = TWRC_SUCCESS; rc == TWRC_SUCCESS && strips.size() < 2000;) {
    TW_IMAGEMEMXFER x{};
    x.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(length), buffer.data()};
    rc = h.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x);
    strips.push_back({x.Rows, x.YOffset, x.BytesWritten, rc});
  }
  *guardIntact =
      std::all_of(buffer.begin() + length, buffer.end(), [](auto b) { return b == 0xA5; });
  return strips;
}

TEST(SampleFaultLab, MemoryStripsThatOverrunOverlapOrOverflowTheImage) {
  bool intact = false;
  const auto overrun = Strips("strip-overrun", 100, &intact);
  EXPECT_TRUE(intact);  // the claim is false, the writes stay in the buffer
  EXPECT_EQ(overrun[0].rows, 116u);
  EXPECT_GT(overrun[0].bytesWritten, 100u * 1276);

  const auto overlap = Strips("strip-overlap", 100, &intact);
  ASSERT_GE(overlap.size(), 2u);
  EXPECT_EQ(overlap[1].yOffset, 50u);  // half a strip back
  EXPECT_EQ(overlap.back().rc, TWRC_XFERDONE);

  const auto extra = Strips("strip-extra-rows", 100, &intact);
  TW_UINT32 total = 0;
  for (const Strip& s : extra) total += s.rows;
  EXPECT_EQ(total, 1100u + sample::kExtraRows);  // DAT_IMAGEINFO says 1100
  EXPECT_TRUE(intact);
}

TEST(SampleFaultLab, LyingBitmapAndAFileThatIsNoImage) {
  Harness h("bitmap-header-lies file-not-image");
  ASSERT_EQ(h.Open(sample::kFaultLabName), TWRC_SUCCESS);
  ASSERT_EQ(h.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, 50), TWRC_SUCCESS);
  ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
  platform::MemoryHandle image = h.Native();
  {
    platform::MemLockGuard lock(image);
    BitmapInfoHeader header;
    std::memcpy(&header, lock.data(), sizeof(header));
    EXPECT_EQ(header.biHeight, 2 * 1100);
    EXPECT_GT(header.biSizeImage, platform::MemSize(image));
  }
  platform::MemFree(image);
  ASSERT_EQ(h.EndXfer(), TWRC_SUCCESS);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(h.Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(h.Enable(false), TWRC_SUCCESS);
  ASSERT_EQ(h.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  std::ifstream file(testing::TempDir() + "vorrel_sample.bmp", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), {}};
  EXPECT_EQ(text.rfind("This is not an image", 0), 0u);
}

}  // namespace
