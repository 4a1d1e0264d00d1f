// Arbitrary bytes as a trace the Replay Source plays: whatever it reads, an
// application's session (capabilities, a SET, every image by each mechanism
// in turn) must run without reaching outside any block.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/memory.h"
#include "replay/replay_source.h"
#include "sample_source/quiet_host.h"
#include "trace/trace_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TraceReadResult read =
      ReadTraceText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read.trace) return 0;
  auto book =
      std::make_shared<const replay::ReplayBook>(replay::ReplayBook::FromTrace(*read.trace));
  replay::ReplaySource source(book, book->identity(), TW_IDENTITY{},
                              std::make_unique<sample::QuietHost>("/tmp/"), nullptr);
  for (TW_UINT16 cap :
       {TW_UINT16{CAP_SUPPORTEDCAPS}, TW_UINT16{ICAP_PIXELTYPE}, TW_UINT16{ICAP_XRESOLUTION}}) {
    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
      TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
      source.Entry(DG_CONTROL, DAT_CAPABILITY, msg, &record);
      platform::MemFree(record.hContainer);
    }
  }
  const std::uint8_t gray[6] = {TWTY_UINT16, 0, TWPT_GRAY, 0, 0, 0};
  platform::MemoryHandle block = platform::MemAlloc(sizeof(gray));
  std::memcpy(platform::MemLock(block), gray, sizeof(gray));
  platform::MemUnlock(block);
  TW_CAPABILITY set{ICAP_PIXELTYPE, TWON_ONEVALUE, block};
  source.Entry(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set);
  platform::MemFree(block);
  TW_IMAGELAYOUT layout{};
  source.Entry(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout);

  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, nullptr};
  for (int job = 0;
       job < 2 && source.Entry(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS;
       ++job) {
    for (int image = 0; source.state() == 6 && image < 8; ++image) {
      TW_IMAGEINFO info{};
      source.Entry(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
      if (image % 3 == 0) {
        TW_HANDLE native = nullptr;
        source.Entry(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &native);
        platform::MemFree(native);
      } else if (image % 3 == 1) {
        TW_SETUPMEMXFER setup{};
        source.Entry(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
        std::vector<std::uint8_t> buffer(std::min<TW_UINT32>(setup.Preferred, 1 << 20));
        for (int strip = 0; strip < 64; ++strip) {
          TW_IMAGEMEMXFER xfer{};
          xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, static_cast<TW_UINT32>(buffer.size()),
                         buffer.data()};
          if (source.Entry(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer) != TWRC_SUCCESS) break;
        }
      } else {
        TW_SETUPFILEXFER file{};
        std::strcpy(file.FileName, "/tmp/vorrel_replay_fuzz.bmp");
        file.Format = TWFF_BMP;
        source.Entry(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &file);
        source.Entry(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
      }
      TW_PENDINGXFERS pending{};
      source.Entry(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    }
    if (source.state() == 6) {
      TW_PENDINGXFERS pending{};
      source.Entry(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    }
    source.Entry(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  }
  return 0;
}
