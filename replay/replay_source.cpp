#include "replay/replay_source.h"

#include <algorithm>
#include <cstring>

#include "imaging/dib.h"
#include "platform/memory.h"
#include "sample_source/image_writers.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

namespace replay {
namespace {

// Memory strips aim at buffers of about this size.
constexpr std::size_t kPreferredStripBytes = 64 * 1024;

bool Succeeded(TW_UINT16 rc) {
  return rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS;
}

const char* Extension(TW_UINT16 format) {
  switch (format) {
    case TWFF_BMP:
      return ".bmp";
    case TWFF_JFIF:
      return ".jpg";
    case TWFF_TIFF:
      return ".tif";
    default:
      return ".img";
  }
}

Bytes BmpFile(const Bytes& dib) {
  DibLayout layout;
  DIB_CheckLayout(dib.data(), dib.size(), &layout);
  const std::size_t offBits = sizeof(sample::BitmapFileHeader) + layout.pixelOffset;
  const sample::BitmapFileHeader header{{'B', 'M'},
                                        static_cast<std::uint32_t>(sizeof(header) + dib.size()),
                                        0,
                                        0,
                                        static_cast<std::uint32_t>(offBits)};
  Bytes file(sizeof(header));
  std::memcpy(file.data(), &header, sizeof(header));
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace

const ReplaySource::Rule ReplaySource::kRules[] = {
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, 4, 7, &ReplaySource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, 4, 7, &ReplaySource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, 4, 7, &ReplaySource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, 4, 7, &ReplaySource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, 4, 4, &ReplaySource::Capability},
    {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, 4, 4, &ReplaySource::Capability},
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, 5, 7, &ReplaySource::ProcessEvent},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, 4, 7, &ReplaySource::PendingXfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, 6, 7, &ReplaySource::PendingXfers},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, 6, 6, &ReplaySource::PendingXfers},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, 4, 6, &ReplaySource::SetupMemXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, 4, 6, &ReplaySource::SetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, 4, 6, &ReplaySource::SetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, 4, 6, &ReplaySource::SetupFileXfer},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, 4, 4, &ReplaySource::SetupFileXfer},
    {DG_CONTROL, DAT_STATUS, MSG_GET, 4, 7, &ReplaySource::Status},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, 4, 4, &ReplaySource::UserInterface},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, 5, 5, &ReplaySource::UserInterface},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, 6, 7, &ReplaySource::ImageInfo},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, 4, 6, &ReplaySource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, 4, 6, &ReplaySource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, 4, 4, &ReplaySource::ImageLayout},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, 4, 4, &ReplaySource::ImageLayout},
    {DG_IMAGE, DAT_PALETTE8, MSG_GET, 4, 6, &ReplaySource::Palette8},
    {DG_IMAGE, DAT_PALETTE8, MSG_GETDEFAULT, 4, 6, &ReplaySource::Palette8},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, 6, 6, &ReplaySource::NativeXfer},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 6, 7, &ReplaySource::MemXfer},
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, 6, 6, &ReplaySource::FileXfer},
};

ReplaySource::ReplaySource(std::shared_ptr<const ReplayBook> book, const TW_IDENTITY& identity,
                           const TW_IDENTITY& application, std::unique_ptr<sample::SourceHost> host,
                           NoteSink note)
    : bookHolder_(std::move(book)),
      book_(*bookHolder_),
      identity_(identity),
      application_(application),
      host_(std::move(host)),
      note_(std::move(note)) {}

TW_UINT16 ReplaySource::Fail(TW_UINT16 cc) {
  condition_ = cc;
  return TWRC_FAILURE;
}

TW_UINT16 ReplaySource::Unanswered(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cap,
                                   TW_UINT16 cc) {
  if (note_) {
    std::string line = "not in the trace: ";
    line += TripletText(dg, dat, msg);
    if (dat == DAT_CAPABILITY) {
      line += ' ';
      line += CapName(cap);
    }
    note_(line);
  }
  return Fail(cc);
}

TW_UINT16 ReplaySource::Recorded(const RecordedAnswer& answer) {
  if (answer.rc == TWRC_FAILURE) return Fail(answer.cc);
  condition_ = answer.cc;
  return answer.rc;
}

TW_UINT16 ReplaySource::Entry(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  // DAT_STATUS reports the condition of the triplet before it.
  if (dat != DAT_STATUS) condition_ = TWCC_SUCCESS;
  const Rule* rule = nullptr;
  for (const Rule& r : kRules) {
    if (r.dg == dg && r.dat == dat && r.msg == msg) rule = &r;
  }
  if (!rule) return Unanswered(dg, dat, msg, 0, TWCC_BADPROTOCOL);
  if (state_ < rule->minState || state_ > rule->maxState) return Fail(TWCC_SEQERROR);
  if (!data && dat != DAT_IMAGEFILEXFER) return Fail(TWCC_BADVALUE);
  return (this->*rule->handler)(msg, data);
}

TW_UINT16 ReplaySource::Capability(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_CAPABILITY*>(data);
  const TW_UINT16 cap = record->Cap;
  const AnswerKey key{DG_CONTROL, DAT_CAPABILITY, msg, cap};
  if (msg == MSG_SET || msg == MSG_RESET) {
    Bytes value;
    if (msg == MSG_SET) {
      // The application's block, read no further than it reaches.
      const std::size_t size = record->hContainer ? platform::MemSize(record->hContainer) : 0;
      platform::MemLockGuard lock(size > 0 ? record->hContainer : nullptr);
      if (!lock) return Fail(TWCC_BADVALUE);
      value =
          ComparableContainer(record->ConType, static_cast<const std::uint8_t*>(lock.data()), size);
      if (value.empty()) return Fail(TWCC_BADVALUE);
    }
    const RecordedChange* change = book_.Change(key, value, segment_);
    if (!change) return Unanswered(DG_CONTROL, DAT_CAPABILITY, msg, cap, TWCC_CAPUNSUPPORTED);
    if (Succeeded(change->rc)) {
      segment_ = change->segmentBefore + 1;
      changedTo_[cap] = msg == MSG_RESET ? ResetMark() : value;
    }
    if (change->rc == TWRC_FAILURE) return Fail(change->cc);
    condition_ = change->cc;
    if (msg == MSG_RESET && change->container) {
      platform::MemoryHandle block = platform::MemAlloc(change->container->bytes.size());
      if (!block) return Fail(TWCC_LOWMEMORY);
      platform::MemLockGuard lock(block);
      std::memcpy(lock.data(), change->container->bytes.data(), change->container->bytes.size());
      record->ConType = change->container->format;
      record->hContainer = block;
    }
    return change->rc;
  }
  const RecordedAnswer* answer = book_.Answer(key, segment_, changedTo_[cap]);
  if (!answer || (answer->rc != TWRC_FAILURE && !answer->container))
    return Unanswered(DG_CONTROL, DAT_CAPABILITY, msg, cap, TWCC_CAPUNSUPPORTED);
  if (answer->rc == TWRC_FAILURE) return Fail(answer->cc);
  platform::MemoryHandle block = platform::MemAlloc(answer->container->bytes.size());
  if (!block) return Fail(TWCC_LOWMEMORY);
  {
    platform::MemLockGuard lock(block);
    std::memcpy(lock.data(), answer->container->bytes.data(), answer->container->bytes.size());
  }
  record->ConType = answer->container->format;
  record->hContainer = block;
  return Recorded(*answer);
}

TW_UINT16 ReplaySource::ProcessEvent(TW_UINT16, TW_MEMREF data) {
  auto* event = static_cast<TW_EVENT*>(data);
  event->TWMessage = MSG_NULL;
  if (pendingEvent_ == MSG_NULL) return TWRC_NOTDSEVENT;
  event->TWMessage = pendingEvent_;
  pendingEvent_ = MSG_NULL;
  return TWRC_DSEVENT;
}

void ReplaySource::Notify(TW_UINT16 message) {
  if (host_->NotifyManager(identity_, application_, message)) return;
  // No Manager took it: hand it over at the next MSG_PROCESSEVENT.
  pendingEvent_ = message;
  host_->WakeApplication(parent_);
}

const RecordedImage* ReplaySource::Current() const {
  return nextImage_ < book_.images().size() ? &book_.images()[nextImage_] : nullptr;
}

void ReplaySource::EndImage() {
  transfer_ = Transfer::kNone;
  nextRow_ = 0;
  state_ = pending_ > 0 ? 6 : 5;
}

TW_UINT16 ReplaySource::PendingXfers(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_PENDINGXFERS*>(data);
  if (msg == MSG_ENDXFER) {
    // Ended whether it was transferred or not: the next image is the next one recorded.
    ++nextImage_;
    --pending_;
    EndImage();
  } else if (msg == MSG_RESET) {
    nextImage_ += static_cast<std::size_t>(pending_);
    pending_ = 0;
    EndImage();
  }
  record->Count = static_cast<TW_UINT16>(state_ >= 6 || msg != MSG_GET ? pending_ : 0);
  record->EOJ = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::UserInterface(TW_UINT16 msg, TW_MEMREF data) {
  if (msg == MSG_DISABLEDS) {
    pendingEvent_ = MSG_NULL;
    state_ = 4;
    return TWRC_SUCCESS;
  }
  // The recorded Source's dialog is not replayed: each enabling is a scan at once.
  parent_ = static_cast<const TW_USERINTERFACE*>(data)->hParent;
  pendingEvent_ = MSG_NULL;
  state_ = 5;
  const std::size_t left = book_.images().size() - std::min(nextImage_, book_.images().size());
  std::size_t images =
      job_ < book_.jobs().size() ? static_cast<std::size_t>(book_.jobs()[job_]) : left;
  images = std::min(images, left);
  ++job_;
  if (images == 0) {
    if (note_) note_("not in the trace: an image for this enabling; the Source asks to be closed");
    Notify(MSG_CLOSEDSREQ);
    return TWRC_SUCCESS;
  }
  pending_ = static_cast<int>(images);
  state_ = 6;
  Notify(MSG_XFERREADY);
  return TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::Status(TW_UINT16, TW_MEMREF data) {
  auto* record = static_cast<TW_STATUS*>(data);
  record->ConditionCode = condition_;
  record->Reserved = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::SetupMemXfer(TW_UINT16, TW_MEMREF data) {
  const RecordedImage* image = Current();
  DibLayout layout;
  if (!image || !DIB_ReadHeader(image->dib.data(), image->dib.size(), &layout))
    return Unanswered(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, 0, TWCC_SEQERROR);
  const std::size_t row = DIB_RowBytes(layout.depth, layout.width);
  const std::size_t height = static_cast<std::size_t>(std::max(layout.height, 1));
  const std::size_t rows = std::clamp<std::size_t>(kPreferredStripBytes / row, 1, height);
  auto* record = static_cast<TW_SETUPMEMXFER*>(data);
  record->MinBufSize = static_cast<TW_UINT32>(row);
  record->MaxBufSize = static_cast<TW_UINT32>(row * height);
  record->Preferred = static_cast<TW_UINT32>(row * rows);
  return TWRC_SUCCESS;
}

std::string ReplaySource::DefaultFileName() const {
  return host_->TransferDirectory() + "vorrel_replay" + Extension(fileFormat_);
}

TW_UINT16 ReplaySource::SetupFileXfer(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_SETUPFILEXFER*>(data);
  if (msg == MSG_SET) {
    const char* end =
        static_cast<const char*>(std::memchr(record->FileName, 0, sizeof(record->FileName)));
    if (!end || end == record->FileName) return Fail(TWCC_BADVALUE);
    // BMP is made from any image; another format only as a recorded file.
    bool offered = record->Format == TWFF_BMP;
    for (const RecordedImage& image : book_.images())
      offered = offered || (image.file && image.fileFormat == record->Format);
    if (!offered) return Fail(TWCC_BADVALUE);
    fileName_ = record->FileName;
    fileFormat_ = record->Format;
    return TWRC_SUCCESS;
  }
  if (msg == MSG_RESET) {
    fileName_.clear();
    fileFormat_ = TWFF_BMP;
  }
  const TW_UINT16 format = msg == MSG_GETDEFAULT ? TWFF_BMP : fileFormat_;
  std::string name = msg != MSG_GETDEFAULT && !fileName_.empty() ? fileName_ : DefaultFileName();
  if (msg == MSG_GETDEFAULT) name = host_->TransferDirectory() + "vorrel_replay.bmp";
  std::memset(record->FileName, 0, sizeof(record->FileName));
  std::memcpy(record->FileName, name.data(), std::min(name.size(), sizeof(record->FileName) - 1));
  record->Format = format;
  record->VRefNum = 0;
  return TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::ImageInfo(TW_UINT16, TW_MEMREF data) {
  const RecordedImage* image = Current();
  if (!image) return Fail(TWCC_SEQERROR);
  *static_cast<TW_IMAGEINFO*>(data) = image->info ? *image->info : InfoOfDib(image->dib);
  return TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::ImageLayout(TW_UINT16 msg, TW_MEMREF data) {
  auto* record = static_cast<TW_IMAGELAYOUT*>(data);
  const AnswerKey key{DG_IMAGE, DAT_IMAGELAYOUT, msg, 0};
  if (msg == MSG_SET || msg == MSG_RESET) {
    Bytes value;
    if (msg == MSG_SET) {
      const auto* bytes = static_cast<const std::uint8_t*>(data);
      value.assign(bytes, bytes + sizeof(TW_IMAGELAYOUT));
    }
    const RecordedChange* change = book_.Change(key, value, segment_);
    if (!change) return Unanswered(DG_IMAGE, DAT_IMAGELAYOUT, msg, 0, TWCC_BADPROTOCOL);
    if (Succeeded(change->rc)) segment_ = change->segmentBefore + 1;
    if (change->rc == TWRC_FAILURE) return Fail(change->cc);
    condition_ = change->cc;
    if (msg == MSG_RESET && change->record.size() >= sizeof(TW_IMAGELAYOUT))
      std::memcpy(record, change->record.data(), sizeof(TW_IMAGELAYOUT));
    return change->rc;
  }
  const RecordedAnswer* answer = book_.Answer(key, segment_);
  if (answer && (answer->rc == TWRC_FAILURE || answer->record.size() >= sizeof(TW_IMAGELAYOUT))) {
    if (answer->rc != TWRC_FAILURE)
      std::memcpy(record, answer->record.data(), sizeof(TW_IMAGELAYOUT));
    return Recorded(*answer);
  }
  // Not recorded: the frame of the image a transfer would give.
  const RecordedImage* image = Current();
  if (!image) return Unanswered(DG_IMAGE, DAT_IMAGELAYOUT, msg, 0, TWCC_BADPROTOCOL);
  const TW_IMAGEINFO info = image->info ? *image->info : InfoOfDib(image->dib);
  auto inches = [](TW_INT32 pixels, TW_FIX32 dpi) {
    const double perInch = dpi.Whole + dpi.Frac / 65536.0;
    const double value = perInch > 0 ? pixels / perInch : pixels;
    const auto scaled = static_cast<std::int32_t>(value * 65536.0 + 0.5);
    return TW_FIX32{static_cast<TW_INT16>(scaled >> 16), static_cast<TW_UINT16>(scaled & 0xFFFF)};
  };
  std::memset(record, 0, sizeof(*record));
  record->Frame.Right = inches(info.ImageWidth, info.XResolution);
  record->Frame.Bottom = inches(info.ImageLength, info.YResolution);
  record->DocumentNumber = 1;
  record->PageNumber = static_cast<TW_UINT32>(nextImage_ + 1);
  record->FrameNumber = 1;
  return TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::Palette8(TW_UINT16 msg, TW_MEMREF data) {
  const RecordedAnswer* answer = book_.Answer({DG_IMAGE, DAT_PALETTE8, msg, 0}, segment_);
  if (!answer || (answer->rc != TWRC_FAILURE && answer->record.size() < sizeof(TW_PALETTE8)))
    return Unanswered(DG_IMAGE, DAT_PALETTE8, msg, 0, TWCC_BADPROTOCOL);
  if (answer->rc != TWRC_FAILURE) std::memcpy(data, answer->record.data(), sizeof(TW_PALETTE8));
  return Recorded(*answer);
}

TW_UINT16 ReplaySource::NativeXfer(TW_UINT16, TW_MEMREF data) {
  const RecordedImage* image = Current();
  if (!image) return Fail(TWCC_SEQERROR);
  platform::MemoryHandle block = platform::MemAlloc(image->dib.size());
  if (!block) return Fail(TWCC_LOWMEMORY);
  {
    platform::MemLockGuard lock(block);
    std::memcpy(lock.data(), image->dib.data(), image->dib.size());
  }
  *static_cast<TW_HANDLE*>(data) = block;
  transfer_ = Transfer::kNative;
  state_ = 7;
  return TWRC_XFERDONE;
}

TW_UINT16 ReplaySource::MemXfer(TW_UINT16, TW_MEMREF data) {
  if (state_ == 7 && transfer_ != Transfer::kMemory) return Fail(TWCC_SEQERROR);
  const RecordedImage* image = Current();
  if (!image) return Fail(TWCC_SEQERROR);
  DibLayout layout;
  if (DIB_CheckLayout(image->dib.data(), image->dib.size(), &layout) != DibCheck::kOk ||
      !layout.HasRows()) {
    return Unanswered(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, 0, TWCC_BADPROTOCOL);
  }
  auto* record = static_cast<TW_IMAGEMEMXFER*>(data);
  const sample::AppStripBuffer target(record->Memory);
  if (!target) return Fail(TWCC_BADVALUE);
  std::uint8_t* buffer = target.data();
  const std::size_t capacity = target.capacity();
  const std::size_t stride = layout.rowBytes;
  if (capacity < stride) return Fail(TWCC_BADVALUE);

  const int rows = static_cast<int>(
      std::min<std::size_t>(capacity / stride, static_cast<std::size_t>(layout.height - nextRow_)));
  // DIB_LayoutRow only works out an address; the rows are read, never written.
  void* block = const_cast<std::uint8_t*>(image->dib.data());
  for (int r = 0; r < rows; ++r) {
    std::uint8_t* out = buffer + static_cast<std::size_t>(r) * stride;
    std::memcpy(out, DIB_LayoutRow(block, layout, nextRow_ + r), stride);
    // Strips carry red first; a bitmap's rows blue first.
    if (layout.depth == 24) {
      for (int x = 0; x < layout.width; ++x) std::swap(out[x * 3], out[x * 3 + 2]);
    }
  }
  record->Compression = TWCP_NONE;
  record->BytesPerRow = static_cast<TW_UINT32>(stride);
  record->Columns = static_cast<TW_UINT32>(layout.width);
  record->Rows = static_cast<TW_UINT32>(rows);
  record->XOffset = 0;
  record->YOffset = static_cast<TW_UINT32>(nextRow_);
  record->BytesWritten = static_cast<TW_UINT32>(stride * rows);
  nextRow_ += rows;
  state_ = 7;
  transfer_ = nextRow_ >= layout.height ? Transfer::kMemoryDone : Transfer::kMemory;
  return transfer_ == Transfer::kMemoryDone ? TWRC_XFERDONE : TWRC_SUCCESS;
}

TW_UINT16 ReplaySource::FileXfer(TW_UINT16, TW_MEMREF) {
  const RecordedImage* image = Current();
  if (!image) return Fail(TWCC_SEQERROR);
  const std::string name = fileName_.empty() ? DefaultFileName() : fileName_;
  Bytes bytes;
  if (image->file && image->fileFormat == fileFormat_) {
    bytes = *image->file;
  } else if (fileFormat_ == TWFF_BMP) {
    bytes = BmpFile(image->dib);
  } else {
    return Unanswered(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, 0, TWCC_BADPROTOCOL);
  }
  if (!sample::WriteWholeFile(name, bytes)) return Fail(TWCC_OPERATIONERROR);
  transfer_ = Transfer::kFile;
  state_ = 7;
  return TWRC_XFERDONE;
}

}  // namespace replay
