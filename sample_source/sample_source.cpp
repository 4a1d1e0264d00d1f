#include "sample_source/sample_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/memory.h"
#include "sample_source/capability_table.h"
#include "sample_source/image_writers.h"
#include "sample_source/test_chart.h"

namespace sample {
namespace {

// The crash of crash-get: a write into the first page, which no process
// maps, through an address the compiler cannot see, so it stays an access
// violation and is not turned into a trap or a sanitizer report.
volatile std::uintptr_t g_nowhere = 16;

[[gnu::noinline]] void CrashNow() {
  *reinterpret_cast<volatile int*>(g_nowhere) = 0;
}

// Memory strips aim at buffers of about this size.
constexpr std::size_t kPreferredStripBytes = 64 * 1024;

constexpr char kNotAnImage[] = "This is not an image: the Sample Fault Lab wrote it.\r\n";

void PatchItemCount(platform::MemoryHandle block, TW_UINT32 extra) {
  platform::MemLockGuard lock(block);
  if (!lock) return;
  // NumItems follows ItemType in arrays and enumerations alike.
  auto* count = static_cast<std::uint8_t*>(lock.data()) + 2;
  TW_UINT32 items;
  std::memcpy(&items, count, sizeof(items));
  items += extra;
  std::memcpy(count, &items, sizeof(items));
}

void DoubleBitmapSize(platform::MemoryHandle block) {
  platform::MemLockGuard lock(block);
  if (!lock) return;
  BitmapInfoHeader header;
  std::memcpy(&header, lock.data(), sizeof(header));
  header.biHeight *= 2;
  header.biSizeImage *= 2;
  std::memcpy(lock.data(), &header, sizeof(header));
}

}  // namespace

const SampleSource::Rule SampleSource::kRules[] = {
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, 4, 7, true, &SampleSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, 4, 7, true, &SampleSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, 4, 7, true, &SampleSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, 4, 4, true, &SampleSource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, 4, 4, true, &SampleSource::Capability},
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, 5, 7, true, &SampleSource::ProcessEvent},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, 4, 7, true, &SampleSource::PendingXfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, 6, 7, true, &SampleSource::PendingXfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, 6, 6, true, &SampleSource::PendingXfers},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, 4, 6, true, &SampleSource::SetupMemXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, 4, 6, true, &SampleSource::SetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, 4, 6, true, &SampleSource::SetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, 4, 6, true, &SampleSource::SetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, 4, 4, true, &SampleSource::SetupFileXfer},
    {DG_CONTROL, DAT_STATUS, MSG_GET, 4, 7, true, &SampleSource::Status},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, 4, 4, true, &SampleSource::UserInterface},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, 5, 5, true, &SampleSource::UserInterface},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, 6, 7, true, &SampleSource::ImageInfo},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, 4, 6, true, &SampleSource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, 4, 6, true, &SampleSource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, 4, 4, true, &SampleSource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, 4, 4, true, &SampleSource::ImageLayout},
    {DG_IMAGE, DAT_PALETTE8, MSG_GET, 4, 6, true, &SampleSource::Palette8},
    {DG_IMAGE, DAT_PALETTE8, MSG_GETDEFAULT, 4, 6, true, &SampleSource::Palette8},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, 6, 6, true, &SampleSource::NativeXfer},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 6, 7, true, &SampleSource::MemXfer},
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, 6, 6, false, &SampleSource::FileXfer},
};

SampleSource::SampleSource(const TW_IDENTITY& identity, const TW_IDENTITY& application,
                           std::unique_ptr<SourceHost> host, FaultSelection faults)
    : identity_(identity), application_(application), host_(std::move(host)), faults_(faults) {}

SampleSource::~SampleSource() {
  if (host_) host_->CloseScanDialog();
}

TW_UINT16 SampleSource::Fail(TW_UINT16 cc) {
  condition_ = cc;
  return TWRC_FAILURE;
}

TW_UINT16 SampleSource::Entry(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (faults_.Has(Misbehaviour::kPumpInTriplet) && dat != DAT_EVENT) host_->PumpMessages();
  // DAT_STATUS reports the condition of the triplet before it.
  if (dat != DAT_STATUS) condition_ = TWCC_SUCCESS;
  const Rule* rule = nullptr;
  for (const Rule& r : kRules) {
    if (r.dg == dg && r.dat == dat && r.msg == msg) rule = &r;
  }
  if (!rule) return Fail(TWCC_BADPROTOCOL);
  if (state_ < rule->minState || state_ > rule->maxState) return Fail(TWCC_SEQERROR);
  if (rule->needsData && !data) return Fail(TWCC_BADVALUE);
  const TW_UINT16 rc = (this->*rule->handler)(msg, data);
  if (data && faults_.Has(Misbehaviour::kOverrun) && faults_.Arg(Misbehaviour::kOverrun, 0) == dat)
    WritePastRecord(dat, data, faults_.Arg(Misbehaviour::kOverrun, 1));
  return rc;
}

namespace {
// The published sizes of the records a Source is handed, for overrun.
constexpr struct {
  TW_UINT16 dat;
  std::size_t size;
} kRecordSizes[] = {
    {DAT_CAPABILITY, sizeof(TW_CAPABILITY)},       {DAT_EVENT, sizeof(TW_EVENT)},
    {DAT_PENDINGXFERS, sizeof(TW_PENDINGXFERS)},   {DAT_SETUPMEMXFER, sizeof(TW_SETUPMEMXFER)},
    {DAT_SETUPFILEXFER, sizeof(TW_SETUPFILEXFER)}, {DAT_STATUS, sizeof(TW_STATUS)},
    {DAT_USERINTERFACE, sizeof(TW_USERINTERFACE)}, {DAT_IMAGEINFO, sizeof(TW_IMAGEINFO)},
    {DAT_IMAGELAYOUT, sizeof(TW_IMAGELAYOUT)},     {DAT_IMAGEMEMXFER, sizeof(TW_IMAGEMEMXFER)},
};
}  // namespace

void SampleSource::WritePastRecord(TW_UINT16 dat, TW_MEMREF data, std::uint32_t bytes) {
  for (const auto& record : kRecordSizes) {
    if (record.dat == dat)
      std::memset(static_cast<unsigned char*>(data) + record.size, 0x5A,
                  std::min<std::size_t>(bytes, kMaxOverrunBytes));
  }
}

// The misbehaviours a host carries out inside a capability get.
void SampleSource::MisbehaveInGet(TW_UINT16 code) {
  if (faults_.Has(Misbehaviour::kHandledFault)) host_->Misbehave(Misbehaviour::kHandledFault, 0);
  if (faults_.HasFor(Misbehaviour::kHang, code))
    host_->Misbehave(Misbehaviour::kHang, faults_.Arg(Misbehaviour::kHang, 1));
  if (code != ICAP_PIXELTYPE) return;
  for (Misbehaviour m :
       {Misbehaviour::kFpOverflow, Misbehaviour::kThreadFault, Misbehaviour::kRaiseException,
        Misbehaviour::kCxxThrow, Misbehaviour::kStackOverflow}) {
    if (faults_.Has(m)) host_->Misbehave(m, faults_.Arg(m, 0));
  }
}

TW_UINT16 SampleSource::Capability(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_CAPABILITY*>(data);
  const TW_UINT16 code = record->Cap;
  if (faults_.HasFor(Misbehaviour::kFailCapability, code)) {
    return Fail(faults_.Arg(Misbehaviour::kFailCapability, 1));
  }
  const sample::Capability* capability = FindCapability(code);
  if (!capability) return Fail(KnownCapabilityCode(code) ? TWCC_CAPUNSUPPORTED : TWCC_BADCAP);

  const bool get = msg == MSG_GET || msg == MSG_GETCURRENT || msg == MSG_GETDEFAULT;
  if (!get) {
    if (capability->readOnly()) return Fail(TWCC_CAPBADOPERATION);
    Outcome outcome;
    if (msg == MSG_SET) {
      const std::optional<ReceivedContainer> value =
          ReadContainer(record->ConType, record->hContainer);
      if (!value) return Fail(TWCC_BADVALUE);
      outcome = capability->Set(settings_, *value);
    } else {
      capability->Reset(settings_);
    }
    Normalize(settings_);
    if (outcome.rc == TWRC_FAILURE) return Fail(outcome.cc);
    condition_ = outcome.cc;
    if (msg == MSG_SET) return outcome.rc;
    // A reset answers with the value it went back to.
    msg = MSG_GETCURRENT;
  }

  if (get && faults_.HasFor(Misbehaviour::kCrashGet, code)) CrashNow();
  if (get) MisbehaveInGet(code);
  if (get && faults_.HasFor(Misbehaviour::kBogusContainer, code)) {
    record->ConType = TWON_ONEVALUE;
    record->hContainer = reinterpret_cast<TW_HANDLE>(std::uintptr_t{0x10});
    return TWRC_SUCCESS;
  }
  const BuiltContainer built = capability->Get(msg, settings_);
  if (!built.block) return Fail(TWCC_LOWMEMORY);
  if ((built.conType == TWON_ENUMERATION || built.conType == TWON_ARRAY) &&
      faults_.HasFor(Misbehaviour::kContainerOvercount, code)) {
    PatchItemCount(built.block, kExtraItems);
  }
  record->ConType = built.conType;
  record->hContainer = built.block;
  return TWRC_SUCCESS;
}

TW_UINT16 SampleSource::ProcessEvent(TW_UINT16, TW_MEMREF data) {
  auto* event = static_cast<TW_EVENT*>(data);
  event->TWMessage = MSG_NULL;
  if (pendingEvent_ != MSG_NULL) {
    event->TWMessage = pendingEvent_;
    pendingEvent_ = MSG_NULL;
    return TWRC_DSEVENT;
  }
  if (event->pEvent && host_->TakeDialogMessage(event->pEvent)) return TWRC_DSEVENT;
  return TWRC_NOTDSEVENT;
}

TW_UINT16 SampleSource::ReportedPending() const {
  if (pending_ > 0 && faults_.Has(Misbehaviour::kPendingUnknown)) return 0xFFFF;
  return static_cast<TW_UINT16>(pending_);
}

void SampleSource::EndJobImage() {
  transfer_ = Transfer::kNone;
  nextRow_ = 0;
  stripsSent_ = 0;
  if (pending_ > 0) {
    state_ = 6;
    return;
  }
  state_ = 5;
  // With its dialog up the Source goes back to it for the next job.
  if (showUI_) host_->ShowScanDialog(*this, parent_);
}

TW_UINT16 SampleSource::PendingXfers(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_PENDINGXFERS*>(data);
  if (msg == MSG_ENDXFER) {
    --pending_;
    ++pagesDone_;
    EndJobImage();
  } else if (msg == MSG_RESET) {
    pending_ = 0;
    EndJobImage();
  }
  record->Count = state_ >= 6 || msg != MSG_GET ? ReportedPending() : 0;
  record->EOJ = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 SampleSource::SetupMemXfer(TW_UINT16, TW_MEMREF data) {
  const ImageGeometry g = GeometryOf(settings_);
  const std::size_t row = PaddedRowBytes(g.width, g.bitsPerPixel);
  const std::size_t rows = std::clamp<std::size_t>(kPreferredStripBytes / row, 1, g.height);
  auto* record = static_cast<TW_SETUPMEMXFER*>(data);
  record->MinBufSize = static_cast<TW_UINT32>(row);
  record->MaxBufSize = static_cast<TW_UINT32>(row * g.height);
  record->Preferred = static_cast<TW_UINT32>(row * rows);
  return TWRC_SUCCESS;
}

std::string SampleSource::DefaultFileName(TW_UINT16 format) const {
  return host_->TransferDirectory() +
         (format == TWFF_JFIF ? "vorrel_sample.jpg" : "vorrel_sample.bmp");
}

TW_UINT16 SampleSource::SetupFileXfer(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_SETUPFILEXFER*>(data);
  if (msg == MSG_SET) {
    const char* end =
        static_cast<const char*>(std::memchr(record->FileName, 0, sizeof(record->FileName)));
    if (!end || end == record->FileName) return Fail(TWCC_BADVALUE);
    const bool formatOffered =
        record->Format == TWFF_BMP || (record->Format == TWFF_JFIF && JfifAllowed(settings_));
    if (!formatOffered) return Fail(TWCC_BADVALUE);
    fileName_ = record->FileName;
    settings_.fileFormat = record->Format;
    return TWRC_SUCCESS;
  }
  if (msg == MSG_RESET) {
    fileName_.clear();
    settings_.fileFormat = DeviceSettings{}.fileFormat;
  }
  const TW_UINT16 format =
      msg == MSG_GETDEFAULT ? DeviceSettings{}.fileFormat : settings_.fileFormat;
  const std::string name =
      msg != MSG_GETDEFAULT && !fileName_.empty() ? fileName_ : DefaultFileName(format);
  std::memset(record->FileName, 0, sizeof(record->FileName));
  std::memcpy(record->FileName, name.data(), std::min(name.size(), sizeof(record->FileName) - 1));
  record->Format = format;
  record->VRefNum = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 SampleSource::Status(TW_UINT16, TW_MEMREF data) {
  auto* record = static_cast<TW_STATUS*>(data);
  record->ConditionCode = condition_;
  record->Reserved = 0;
  return TWRC_SUCCESS;
}

void SampleSource::Notify(TW_UINT16 message) {
  if (host_->NotifyManager(identity_, application_, message)) return;
  // No Manager took it: hand it over at the next MSG_PROCESSEVENT.
  pendingEvent_ = message;
  host_->WakeApplication(parent_);
}

void SampleSource::StartJob() {
  pending_ =
      settings_.xferCount > 0 ? settings_.xferCount : (settings_.feederEnabled ? kFeederSheets : 1);
  pagesDone_ = 0;
  state_ = 6;
  Notify(MSG_XFERREADY);
}

TW_UINT16 SampleSource::UserInterface(TW_UINT16 msg, TW_MEMREF data) {
  if (msg == MSG_DISABLEDS) {
    host_->CloseScanDialog();
    pendingEvent_ = MSG_NULL;
    state_ = 4;
    return TWRC_SUCCESS;
  }
  if (faults_.Has(Misbehaviour::kCrashEnable)) CrashNow();
  if (faults_.HasFor(Misbehaviour::kHang, kEnableTriplet))
    host_->Misbehave(Misbehaviour::kHang, faults_.Arg(Misbehaviour::kHang, 1));
  if (faults_.Has(Misbehaviour::kRefuseEnable)) {
    return Fail(faults_.Arg(Misbehaviour::kRefuseEnable, 0));
  }
  const auto* ui = static_cast<const TW_USERINTERFACE*>(data);
  showUI_ = ui->ShowUI != TW_FALSE;
  parent_ = ui->hParent;
  pendingEvent_ = MSG_NULL;
  state_ = 5;
  if (faults_.Has(Misbehaviour::kCloseAfterEnable)) {
    Notify(MSG_CLOSEDSREQ);
  } else if (showUI_) {
    host_->ShowScanDialog(*this, parent_);
  } else {
    StartJob();
  }
  return faults_.Has(Misbehaviour::kEnableCheckStatus) ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
}

void SampleSource::OnUserScan() {
  if (state_ != 5) return;
  host_->CloseScanDialog();
  StartJob();
}

void SampleSource::OnUserCancel() {
  if (state_ == 5) Notify(MSG_CLOSEDSREQ);
}

TW_UINT16 SampleSource::ImageInfo(TW_UINT16, TW_MEMREF data) {
  *static_cast<TW_IMAGEINFO*>(data) = ImageInfoOf(settings_);
  return TWRC_SUCCESS;
}

TW_UINT16 SampleSource::ImageLayout(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_IMAGELAYOUT*>(data);
  const DeviceSettings defaults;
  if (msg == MSG_SET) {
    const Outcome outcome = SetLayout(settings_, *record);
    if (outcome.rc == TWRC_FAILURE) return Fail(outcome.cc);
    return outcome.rc;
  }
  DeviceSettings reported = settings_;
  if (msg == MSG_RESET || msg == MSG_GETDEFAULT) {
    reported.frame = defaults.frame;
    reported.documentNumber = defaults.documentNumber;
    reported.pageNumber = defaults.pageNumber;
    reported.frameNumber = defaults.frameNumber;
    reported.supportedSize = defaults.supportedSize;
  }
  if (msg == MSG_RESET) settings_ = reported;
  *record = LayoutOf(reported);
  return TWRC_SUCCESS;
}

TW_UINT16 SampleSource::Palette8(TW_UINT16, TW_MEMREF data) {
  const ImageGeometry g = GeometryOf(settings_);
  const Palette palette = PaletteFor(g.pixelType, g.bitsPerPixel);
  // An RGB image has no colour table to report.
  if (palette.count == 0) return Fail(TWCC_BADPROTOCOL);
  auto* record = static_cast<TW_PALETTE8*>(data);
  std::memset(record, 0, sizeof(*record));
  record->NumColors = static_cast<TW_UINT16>(palette.count);
  record->PaletteType = g.pixelType == TWPT_PALETTE ? TWPA_RGB : TWPA_GRAY;
  for (int i = 0; i < palette.count; ++i) {
    const Rgb& c = palette.colours[i];
    record->Colors[i] = {static_cast<TW_UINT8>(i), c.r, c.g, c.b};
  }
  return TWRC_SUCCESS;
}

TW_UINT16 SampleSource::NativeXfer(TW_UINT16, TW_MEMREF data) {
  platform::MemoryHandle image = MakeNativeImage(GeometryOf(settings_), Page());
  if (!image) return Fail(TWCC_LOWMEMORY);
  if (faults_.Has(Misbehaviour::kBitmapHeaderLies)) DoubleBitmapSize(image);
  if (faults_.Has(Misbehaviour::kHBitmap)) {
    platform::MemoryHandle bitmap = host_->MakeGdiBitmap(image);
    platform::MemFree(image);
    if (!bitmap) return Fail(TWCC_LOWMEMORY);
    image = bitmap;
  }
  *static_cast<TW_HANDLE*>(data) = image;
  transfer_ = Transfer::kNative;
  state_ = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 SampleSource::MemXfer(TW_UINT16, TW_MEMREF data) {
  if (state_ == 7 && transfer_ != Transfer::kMemory) return Fail(TWCC_SEQERROR);
  auto* record = static_cast<TW_IMAGEMEMXFER*>(data);
  const AppStripBuffer target(record->Memory);
  if (!target) return Fail(TWCC_BADVALUE);
  std::uint8_t* buffer = target.data();
  const std::size_t capacity = target.capacity();

  const ImageGeometry g = GeometryOf(settings_);
  const std::size_t stride = PaddedRowBytes(g.width, g.bitsPerPixel);
  if (capacity < stride) return Fail(TWCC_BADVALUE);
  const int fit = static_cast<int>(std::min<std::size_t>(capacity / stride, g.height + kExtraRows));
  const int totalRows = g.height + (faults_.Has(Misbehaviour::kStripExtraRows) ? kExtraRows : 0);
  int first = nextRow_;
  if (stripsSent_ > 0 && faults_.Has(Misbehaviour::kStripOverlap))
    first = std::max(0, first - fit / 2);
  const int rows = std::min(fit, totalRows - first);
  RenderRows(g, Page(), first, rows, stride, buffer);

  int claimed = rows;
  if (faults_.Has(Misbehaviour::kStripOverrun)) claimed += kExtraRows;
  record->Compression = TWCP_NONE;
  record->BytesPerRow = static_cast<TW_UINT32>(stride);
  record->Columns = static_cast<TW_UINT32>(g.width);
  record->Rows = static_cast<TW_UINT32>(claimed);
  record->XOffset = 0;
  record->YOffset = static_cast<TW_UINT32>(first);
  record->BytesWritten = static_cast<TW_UINT32>(stride * claimed);
  nextRow_ = first + rows;
  ++stripsSent_;
  state_ = 7;
  transfer_ = nextRow_ >= totalRows ? Transfer::kMemoryDone : Transfer::kMemory;
  return transfer_ == Transfer::kMemoryDone ? TWRC_XFERDONE : TWRC_SUCCESS;
}

TW_UINT16 SampleSource::FileXfer(TW_UINT16, TW_MEMREF) {
  const std::string name = fileName_.empty() ? DefaultFileName(settings_.fileFormat) : fileName_;
  const ImageGeometry g = GeometryOf(settings_);
  Bytes bytes;
  if (faults_.Has(Misbehaviour::kFileNotImage)) {
    bytes.assign(kNotAnImage, kNotAnImage + sizeof(kNotAnImage) - 1);
  } else if (settings_.fileFormat == TWFF_JFIF) {
    bytes = MakeJfifFile(g, Page());
  } else {
    bytes = MakeBmpFile(g, Page());
  }
  if (!WriteWholeFile(name, bytes)) return Fail(TWCC_OPERATIONERROR);
  transfer_ = Transfer::kFile;
  state_ = 7;
  return TWRC_XFERDONE;
}

}  // namespace sample
