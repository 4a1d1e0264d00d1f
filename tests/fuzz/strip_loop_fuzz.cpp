// Hostile strips for the memory transfer step: the image information, the
// buffer size and every strip record come from the input, and the Source may
// point the buffer descriptor anywhere after writing. Every read must stay
// inside our buffer and bitmap, the loop must end, and nothing may be left
// allocated or locked.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "imaging/dib_image.h"
#include "pages/image_transfer.h"
#include "platform/host/fake_source_manager.h"
#include "platform/host/host_platform.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

// The input, read from the front; zeros once it runs out.
struct Input {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  template <class T>
  T Take() {
    T value{};
    const std::size_t n = std::min(sizeof(T), size);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
  }
};

Input g_input;

class Page : public ImagePageView {
 public:
  void Clear() override { SetImage(nullptr); }
  void SetImage(DibHandle handle) override { image.Attach(handle); }
  void SetInfoText(const std::string&) override {}
  void AppendInfoText(const std::string&) override {}
  void InfoBox(const char*) override {}
  DibImage image;
};

constexpr std::int16_t kDepths[] = {1, 2, 4, 8, 16, 24, 32, 48, 0, -8, 64, 7};

TW_UINT16 Strip(const fake::Call&, TW_MEMREF data) {
  auto* record = static_cast<TW_IMAGEMEMXFER*>(data);
  const auto flags = g_input.Take<std::uint8_t>();
  record->Compression = (flags & 1) ? g_input.Take<std::uint16_t>() : TWCP_NONE;
  record->BytesPerRow = g_input.Take<std::uint16_t>();
  record->Columns = g_input.Take<std::uint16_t>();
  record->Rows = (flags & 2) ? g_input.Take<std::uint32_t>() : g_input.Take<std::uint8_t>();
  record->XOffset = (flags & 4) ? g_input.Take<std::uint8_t>() : 0;
  record->YOffset = g_input.Take<std::uint16_t>();
  record->BytesWritten = g_input.Take<std::uint32_t>();
  // A Source writes inside the buffer it was given; what it reports is free.
  if (record->Memory.TheMem) {
    std::memset(record->Memory.TheMem, g_input.Take<std::uint8_t>(),
                std::min<std::size_t>(record->Memory.Length, 1 << 16));
  }
  if (flags & 8) record->Memory = {g_input.Take<std::uint32_t>(), 0xFFFFFFFF, &g_input};
  if (g_input.size == 0) return TWRC_FAILURE;
  switch ((flags >> 4) & 3) {
    case 0:
    case 1:
      return TWRC_SUCCESS;
    case 2:
      return TWRC_XFERDONE;
    default:
      return (flags & 0x40) ? TWRC_CANCEL : TWRC_FAILURE;
  }
}

fake::SourceManager& Manager() {
  static fake::SourceManager* dsm = [] {
    TWAIN_Startup();
    auto* manager = new fake::SourceManager;
    manager->AddSource("Flatbed");
    TWAIN_SetUIHidden(true);
    if (!TWAIN_BindManager() || !TWAIN_ManagerOpen(nullptr) || !TWAIN_SourceOpenDefault())
      __builtin_trap();
    manager->On(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET).Fill([](TW_MEMREF data) {
      auto* setup = static_cast<TW_SETUPMEMXFER*>(data);
      setup->Preferred = g_input.Take<std::uint16_t>() + 1u;
    });
    manager->On(DG_IMAGE, DAT_IMAGEINFO, MSG_GET).Fill([](TW_MEMREF data) {
      auto* info = static_cast<TW_IMAGEINFO*>(data);
      info->ImageWidth = g_input.Take<std::int16_t>() % 300;
      info->ImageLength = g_input.Take<std::int16_t>() % 300;
      info->BitsPerPixel = kDepths[g_input.Take<std::uint8_t>() % std::size(kDepths)];
      info->SamplesPerPixel = 3;
    });
    manager->On(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET).Run(Strip);
    return manager;
  }();
  return *dsm;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fake::SourceManager& dsm = Manager();
  const auto before = platform::host::GetMemoryStats();
  g_input = {data, size};
  TWAIN_SetState(6);
  {
    Page page;
    MemoryTransferStep(page);
    if (page.image.Handle() && page.image.Check() != DibCheck::kOk) __builtin_trap();
  }
  dsm.ClearCalls();
  const auto after = platform::host::GetMemoryStats();
  if (after.liveBlocks != before.liveBlocks || after.outstandingLocks != 0) __builtin_trap();
  return 0;
}
