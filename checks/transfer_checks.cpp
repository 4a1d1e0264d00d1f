#include "checks/transfer_checks.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "caps/logged_operations.h"
#include "checks/check_context.h"
#include "imaging/dib.h"
#include "imaging/header_report.h"
#include "pages/image_transfer.h"
#include "pages/log.h"
#include "platform/gdi_bitmap.h"
#include "platform/memory.h"
#include "platform/message_queue.h"
#include "session/call_seam.h"
#include "session/event_routing.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

namespace {

constexpr std::uint32_t kQueueMarker = platform::kAppMessage + 0x3F1;

std::string LastResult(bool ok) {
  return ResultTextOf(TWAIN_GetResultCode(),
                      ok ? TW_UINT16{TWCC_SUCCESS} : TWAIN_GetConditionCode());
}

std::string MechanismName(TW_UINT16 mechanism) {
  if (auto name = ConstantName(ICAP_XFERMECH, mechanism)) return *name;
  return std::to_string(mechanism);
}

// Stands in for the Images page: keeps the size of the image a step hands
// over, then frees it.
class CapturePage : public ImagePageView {
 public:
  explicit CapturePage(TransferRun& run) : run_(run) {}
  void Clear() override {}
  void SetImage(DibHandle handle) override {
    DibLayout layout;
    if (handle && DIB_CheckBlock(handle, &layout) == DibCheck::kOk) {
      run_.imageRead = true;
      run_.width = layout.width;
      run_.height = layout.height;
      run_.depth = layout.depth;
    }
    platform::MemFree(handle);
  }
  void SetInfoText(const std::string&) override {}
  void AppendInfoText(const std::string&) override {}
  void InfoBox(const char*) override {}

 private:
  TransferRun& run_;
};

// Watches the seam while a step transfers, for what the Source answered
// before the step judged or changed it: the raw native handle, each strip
// with the buffer it was given. Static, so a fault that skips destructors
// cannot leave the seam pointing at a dead frame: StopTransferWatch puts
// the previous observer back.
class TransferWatcher : public CallObserver {
 public:
  void Start(TransferRun& run) {
    run_ = &run;
    previous_ = g_callObserver;
    SetCallObserver(this);
  }
  void Stop() {
    if (!run_) return;
    SetCallObserver(previous_);
    run_ = nullptr;
    previous_ = nullptr;
  }
  void BeforeCall(const CallSite& site, TW_MEMREF data) override {
    if (previous_) previous_->BeforeCall(site, data);
    if (site.toSource && site.dat == DAT_IMAGEMEMXFER && data)
      bufferBytes_ = static_cast<const TW_IMAGEMEMXFER*>(data)->Memory.Length;
  }
  void ContainerRead(TW_HANDLE block, const void* data, std::size_t size) override {
    if (previous_) previous_->ContainerRead(block, data, size);
  }
  void AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) override {
    if (previous_) previous_->AfterCall(site, data, rc);
    if (!site.toSource || !data || !run_) return;
    TransferRun& run = *run_;
    const bool ok = rc == TWRC_SUCCESS;
    switch (site.dat) {
      case DAT_IMAGENATIVEXFER:
        if (rc == TWRC_XFERDONE) {
          TW_HANDLE handle = *static_cast<const TW_HANDLE*>(data);
          run.hbitmap = handle && platform::IsGdiBitmap(handle);
          if (handle && !run.hbitmap) run.blockNote = BitmapBlockNote(handle);
        }
        break;
      case DAT_SETUPMEMXFER:
        if (ok) {
          run.setupRead = true;
          run.setup = *static_cast<const TW_SETUPMEMXFER*>(data);
        }
        break;
      case DAT_IMAGEMEMXFER:
        if (ok || rc == TWRC_XFERDONE) {
          const auto& strip = *static_cast<const TW_IMAGEMEMXFER*>(data);
          run.strips.push_back({rc, bufferBytes_, strip.Compression, strip.BytesPerRow, strip.Rows,
                                strip.YOffset, strip.BytesWritten});
        }
        break;
      case DAT_SETUPFILEXFER:
        if (ok && site.msg == MSG_SET) {
          const auto& setup = *static_cast<const TW_SETUPFILEXFER*>(data);
          run.fileFormat = setup.Format;
          run.fileName.assign(setup.FileName, strnlen(setup.FileName, sizeof(setup.FileName)));
        }
        break;
      default:
        break;
    }
  }

 private:
  TransferRun* run_ = nullptr;
  CallObserver* previous_ = nullptr;
  std::uint32_t bufferBytes_ = 0;
};
TransferWatcher g_watcher;

// The mechanisms ICAP_XFERMECH offers, of the three TWAIN defines.
std::vector<TW_UINT16> ListedMechanisms() {
  std::vector<TW_UINT16> mechanisms;
  ContainerHandle* h = TWAIN_Get(ICAP_XFERMECH);
  if (!h) return mechanisms;
  const int format = CONTAINER_Format(h);
  const int count = format == TWON_ONEVALUE ? 1 : CONTAINER_ItemCount(h);
  if (format == TWON_ONEVALUE || format == TWON_ENUMERATION || format == TWON_ARRAY) {
    for (int n = 0; n < count && n < 16; ++n) {
      const double value = CONTAINER_ItemValue(h, n);
      if (value == TWSX_NATIVE || value == TWSX_FILE || value == TWSX_MEMORY) {
        const auto mechanism = static_cast<TW_UINT16>(value);
        if (std::find(mechanisms.begin(), mechanisms.end(), mechanism) == mechanisms.end())
          mechanisms.push_back(mechanism);
      }
    }
  }
  CONTAINER_Free(h);
  return mechanisms;
}

TW_UINT16 PendingCount(TW_UINT16 msg, bool& ok) {
  TW_PENDINGXFERS pending{};
  ok = TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, msg, &pending);
  return pending.Count;
}

std::string FileStart(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  char bytes[4] = {};
  file.read(bytes, sizeof(bytes));
  return std::string(bytes, static_cast<std::size_t>(file.gcount()));
}

void TransferOne(CheckContext& context, TransferRun& run) {
  context.cap = ICAP_XFERMECH;
  context.call = "MSG_SET(ICAP_XFERMECH)";
  if (!TWAIN_SetCapOneValue(ICAP_XFERMECH, TWTY_UINT16, run.mechanism)) {
    run.refused = "MSG_SET(ICAP_XFERMECH) to the mechanism it offers: " + LastResult(false);
    return;
  }
  context.cap = CAP_XFERCOUNT;
  context.call = "MSG_SET(CAP_XFERCOUNT)";
  if (!TWAIN_SetCapOneValue(CAP_XFERCOUNT, TWTY_INT16, 1)) {
    run.refused = "MSG_SET(CAP_XFERCOUNT) to 1: " + LastResult(false);
    return;
  }
  context.cap = -1;
  context.call = TripletText(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS);
  const bool hidden = TWAIN_UIHidden() != 0;
  TWAIN_SetUIHidden(true);
  // A thread message of the probe's own waits in the queue during the call;
  // a Source that runs a message loop inside MSG_ENABLEDS takes it. Here,
  // where the run waits on the queue anyway, the two queue calls cost little.
  const bool marked = platform::PostQueueMessage(nullptr, kQueueMarker, 0, 0);
  const bool enabled = TWAIN_SourceEnable(nullptr);
  run.enableRc = static_cast<TW_UINT16>(TWAIN_GetResultCode());
  run.pumped = marked && !platform::TakeQueueMessage(kQueueMarker);
  TWAIN_SetUIHidden(hidden);
  if (!enabled) {
    run.refused = "MSG_ENABLEDS with ShowUI FALSE: " + LastResult(false);
    return;
  }
  context.call = TripletText(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT);
  run.event = TWAIN_WaitForSourceEvent(kXferReadyMs);
  if (TWAIN_State() != 6) return;

  g_watcher.Start(run);
  context.call = TripletText(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET);
  bool ok = false;
  const TW_UINT16 before = PendingCount(MSG_GET, ok);
  if (ok) run.endCounts.push_back(before);
  context.call = TripletText(DG_IMAGE, DAT_IMAGEINFO, MSG_GET);
  run.infoRead = TWAIN_DS(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &run.info);
  CapturePage page(run);
  context.call = run.mechanism == TWSX_NATIVE ? TripletText(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET)
                 : run.mechanism == TWSX_FILE ? TripletText(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET)
                                              : TripletText(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET);
  run.transferred = TransferByMechanism(page, run.mechanism);
  if (!run.transferred) run.refused = "the transfer: " + LastTransferFailureText();
  if (!run.fileName.empty()) run.fileStart = FileStart(run.fileName);
  if (TWAIN_State() == 7) {
    context.call = TripletText(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER);
    const TW_UINT16 after = PendingCount(MSG_ENDXFER, ok);
    if (ok) run.endCounts.push_back(after);
  }
  if (TWAIN_State() == 6) {
    context.call = TripletText(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET);
    const TW_UINT16 reset = PendingCount(MSG_RESET, ok);
    if (ok) run.resetCount = reset;
  }
  g_watcher.Stop();
}

// The call a finding about one mechanism's run names.
std::string RunCall(const TransferRun& run, const char* what) {
  return std::string(what) + " (" + MechanismName(run.mechanism) + ")";
}

}  // namespace

void StopTransferWatch() {
  g_watcher.Stop();
}

void ReturnToState4() {
  bool ok = false;
  if (TWAIN_State() == 7) PendingCount(MSG_ENDXFER, ok);
  if (TWAIN_State() >= 6) PendingCount(MSG_RESET, ok);
  if (TWAIN_State() >= 5 && !TWAIN_SourceDisable()) {
    // The Source may be further up than the library knows (it announced an
    // image nobody saw): its transfers are refused before it is asked again.
    PendingCount(MSG_RESET, ok);
    TWAIN_SourceDisable();
  }
}

bool NeedsItsDialog(CheckContext& context) {
  if (!context.uiControllableRead) {
    context.uiControllableRead = true;
    context.cap = CAP_UICONTROLLABLE;
    context.call = "MSG_GETCURRENT(CAP_UICONTROLLABLE)";
    TW_BOOL controllable = TW_TRUE;
    context.needsDialog =
        TWAIN_GetCurrentValue(CAP_UICONTROLLABLE, TWTY_BOOL, &controllable) && !controllable;
    context.cap = -1;
  }
  if (context.needsDialog)
    context.notApplicable =
        "not applicable: CAP_UICONTROLLABLE is FALSE, the Source transfers only with its own "
        "dialog shown";
  return context.needsDialog;
}

bool MakeTransfers(CheckContext& context) {
  if (NeedsItsDialog(context)) return false;
  if (context.transfersMade) return true;
  context.transfersMade = true;
  const std::vector<TW_UINT16> mechanisms = ListedMechanisms();
  ContainerHandle* mechanism = TWAIN_GetCurrent(ICAP_XFERMECH);
  ContainerHandle* count = TWAIN_GetCurrent(CAP_XFERCOUNT);
  context.transfers.reserve(mechanisms.size());
  for (TW_UINT16 each : mechanisms) {
    TransferRun& run = context.transfers.emplace_back();
    run.mechanism = each;
    TransferOne(context, run);
    run.stateAfter = TWAIN_State();
    ReturnToState4();
  }
  // What the transfers changed is put back.
  if (mechanism) TWAIN_SetCap(ICAP_XFERMECH, mechanism);
  if (count) TWAIN_SetCap(CAP_XFERCOUNT, count);
  CONTAINER_Free(mechanism);
  CONTAINER_Free(count);
  return true;
}

void TransferReady(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  if (context.transfers.empty()) {
    context.call = "MSG_GET(ICAP_XFERMECH)";
    context.Find(ICAP_XFERMECH, "TWSX_NATIVE, TWSX_FILE or TWSX_MEMORY offered", "none");
  }
  for (const TransferRun& run : context.transfers) {
    if (run.event == MSG_XFERREADY) continue;
    if (!run.refused.empty()) {
      context.call = RunCall(run, "MSG_SET, then MSG_ENABLEDS");
      context.Find(-1, "the transfer starts", run.refused);
    } else {
      context.call = RunCall(run, "MSG_ENABLEDS, then MSG_PROCESSEVENT");
      context.Find(-1, "MSG_XFERREADY within 10 s, ShowUI FALSE",
                   run.event == MSG_NULL ? "no event" : MessageName(run.event));
    }
  }
}

void TransferImageInfo(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  for (const TransferRun& run : context.transfers) {
    if (run.event != MSG_XFERREADY) continue;
    context.call = RunCall(run, "DAT_IMAGEINFO MSG_GET");
    if (!run.infoRead) {
      context.Find(-1, "TWRC_SUCCESS in state 6", "it failed");
      continue;
    }
    // A memory transfer's image is built from DAT_IMAGEINFO: its strips are
    // the memory check's. An HBITMAP's depth is the one it was converted to.
    if (run.mechanism == TWSX_MEMORY || !run.imageRead || run.hbitmap) continue;
    const TW_IMAGEINFO& info = run.info;
    if (info.ImageWidth != run.width || info.ImageLength != run.height ||
        info.BitsPerPixel != run.depth) {
      context.Find(-1,
                   "the image's size: " + std::to_string(run.width) + " x " +
                       std::to_string(run.height) + ", " + std::to_string(run.depth) + " bits",
                   std::to_string(info.ImageWidth) + " x " + std::to_string(info.ImageLength) +
                       ", " + std::to_string(info.BitsPerPixel) + " bits");
    }
  }
}

void TransferNative(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  for (const TransferRun& run : context.transfers) {
    if (run.mechanism != TWSX_NATIVE || run.event != MSG_XFERREADY) continue;
    context.call = RunCall(run, "DAT_IMAGENATIVEXFER MSG_GET");
    if (run.hbitmap) {
      context.Find(-1, "a DIB in global memory", "an HBITMAP (a GDI bitmap)");
    } else if (!run.transferred) {
      context.Find(-1, "TWRC_XFERDONE with a handle", run.refused);
    } else if (!run.blockNote.empty()) {
      context.Find(-1, "a DIB whose header fits its block", run.blockNote);
    }
  }
}

void TransferMemory(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  for (const TransferRun& run : context.transfers) {
    if (run.mechanism != TWSX_MEMORY || run.event != MSG_XFERREADY) continue;
    context.call = RunCall(run, "DAT_SETUPMEMXFER MSG_GET");
    if (!run.setupRead) {
      context.Find(-1, "TWRC_SUCCESS in state 6", "it failed");
      continue;
    }
    const TW_SETUPMEMXFER& setup = run.setup;
    const bool maxGiven = setup.MaxBufSize != TWON_DONTCARE32;
    if (setup.MinBufSize == 0 || setup.Preferred < setup.MinBufSize ||
        (maxGiven && (setup.Preferred > setup.MaxBufSize || setup.MinBufSize > setup.MaxBufSize)))
      context.Find(-1, "0 < MinBufSize <= Preferred <= MaxBufSize",
                   "MinBufSize " + std::to_string(setup.MinBufSize) + ", Preferred " +
                       std::to_string(setup.Preferred) + ", MaxBufSize " +
                       std::to_string(setup.MaxBufSize));
    context.call = RunCall(run, "DAT_IMAGEMEMXFER MSG_GET");
    if (!run.transferred) {
      context.Find(-1, "strips until TWRC_XFERDONE", run.refused);
      continue;
    }
    // One finding per kind of fault, at its first strip. Rows and YOffset
    // place uncompressed strips only: a compressed one may leave them unset.
    bool outside = false, misplaced = false, allRaw = true;
    std::uint64_t rows = 0;
    for (std::size_t i = 0; i < run.strips.size(); ++i) {
      const StripSeen& strip = run.strips[i];
      const std::string which = "strip " + std::to_string(i + 1) + ": ";
      const bool raw = strip.compression == TWCP_NONE;
      allRaw = allRaw && raw;
      const std::uint64_t claimed =
          raw ? std::uint64_t{strip.rows} * strip.bytesPerRow : strip.bytesWritten;
      if (!outside && (strip.bytesWritten > strip.bufferBytes || claimed > strip.bufferBytes)) {
        outside = true;
        context.Find(-1,
                     "rows and BytesWritten inside the buffer of " +
                         std::to_string(strip.bufferBytes) + " bytes",
                     which + std::to_string(strip.rows) + " rows of " +
                         std::to_string(strip.bytesPerRow) + " bytes, BytesWritten " +
                         std::to_string(strip.bytesWritten));
      }
      if (!raw) continue;
      if (!misplaced && strip.rows != 0 && strip.yOffset != rows) {
        misplaced = true;
        context.Find(-1, "YOffset " + std::to_string(rows) + ", where the last strip ended",
                     which + "YOffset " + std::to_string(strip.yOffset) +
                         (strip.yOffset < rows ? " (overlaps)" : " (leaves a gap)"));
      }
      rows += strip.rows;
    }
    if (allRaw && run.infoRead && run.info.ImageLength >= 0 &&
        rows != static_cast<std::uint64_t>(run.info.ImageLength))
      context.Find(
          -1, "strips adding up to ImageLength " + std::to_string(run.info.ImageLength),
          std::to_string(rows) + " rows in " + std::to_string(run.strips.size()) + " strips");
  }
}

void TransferFile(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  for (const TransferRun& run : context.transfers) {
    if (run.mechanism != TWSX_FILE || run.event != MSG_XFERREADY) continue;
    context.call = RunCall(run, "DAT_IMAGEFILEXFER MSG_GET");
    if (!run.transferred) {
      context.Find(-1, "TWRC_XFERDONE and the file written", run.refused);
      continue;
    }
    const std::string format = ValueText(TWTY_UINT16, run.fileFormat, ICAP_IMAGEFILEFORMAT);
    const std::string& start = run.fileStart;
    const bool bmp = start.size() >= 2 && start.compare(0, 2, "BM") == 0;
    const bool jfif = start.size() >= 3 && static_cast<unsigned char>(start[0]) == 0xFF &&
                      static_cast<unsigned char>(start[1]) == 0xD8 &&
                      static_cast<unsigned char>(start[2]) == 0xFF;
    if (start.empty()) {
      context.Find(-1, "a " + format + " file at \"" + run.fileName + "\"", "no file, or empty");
    } else if ((run.fileFormat == TWFF_BMP && !bmp) || (run.fileFormat == TWFF_JFIF && !jfif)) {
      context.Find(-1, "a " + format + " file", "a file that is not one");
    } else if ((bmp || jfif) && !run.imageRead) {
      context.Find(-1, "a " + format + " file the probe can read", "it could not be read");
    }
  }
}

void TransferPending(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  constexpr int kUnknown = 0xFFFF;
  for (const TransferRun& run : context.transfers) {
    if (run.event != MSG_XFERREADY || !run.transferred) continue;
    context.call = RunCall(run, "DAT_PENDINGXFERS MSG_GET");
    if (run.endCounts.empty()) {
      context.Find(-1, "TWRC_SUCCESS in state 6", "it failed");
      continue;
    }
    const int before = run.endCounts[0];
    if (before != 1 && before != kUnknown)
      context.Find(-1, "Count 1 (or -1) with CAP_XFERCOUNT 1", "Count " + std::to_string(before));
    context.call = RunCall(run, "DAT_PENDINGXFERS MSG_ENDXFER");
    if (run.endCounts.size() < 2) {
      context.Find(-1, "TWRC_SUCCESS in state 7", "it failed or was not reached");
    } else if (run.endCounts[1] != 0) {
      context.Find(-1, "Count 0: CAP_XFERCOUNT 1 gives exactly one image",
                   "Count " + std::to_string(run.endCounts[1]));
    }
    if (run.resetCount > 0) {
      context.call = RunCall(run, "DAT_PENDINGXFERS MSG_RESET");
      context.Find(-1, "Count 0", "Count " + std::to_string(run.resetCount));
    }
  }
}

// One habit of the Source, found once however many mechanisms show it.
void TransferNoPump(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  std::string mechanisms;
  for (const TransferRun& run : context.transfers) {
    if (run.pumped) mechanisms += (mechanisms.empty() ? "" : ", ") + MechanismName(run.mechanism);
  }
  if (mechanisms.empty()) return;
  context.call = "MSG_ENABLEDS (" + mechanisms + ")";
  context.Find(-1, "the application's queue left alone during the call",
               "the Source dispatched the messages waiting in it");
}

void TransferEnableCheckStatus(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  for (const TransferRun& run : context.transfers) {
    if (run.enableRc != TWRC_CHECKSTATUS) continue;
    context.call = RunCall(run, "MSG_ENABLEDS");
    context.Find(-1, "TWRC_SUCCESS with ShowUI FALSE",
                 "TWRC_CHECKSTATUS: the Source enabled itself other than asked");
  }
}

void TransferPendingUnknown(CheckContext& context) {
  if (!MakeTransfers(context)) return;
  constexpr int kUnknown = 0xFFFF;
  for (const TransferRun& run : context.transfers) {
    if (run.endCounts.empty() || run.endCounts[0] != kUnknown) continue;
    context.call = RunCall(run, "DAT_PENDINGXFERS MSG_GET");
    context.Find(-1, "Count 1 with CAP_XFERCOUNT 1", "Count -1 (unknown)");
  }
}
