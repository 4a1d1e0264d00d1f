#include "trace/trace_recorder.h"

#include <algorithm>
#include <cstring>

#include "imaging/dib.h"
#include "pages/log.h"
#include "platform/file_reader.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "platform/tick_count.h"
#include "session/twain_session.h"

namespace {

void CopyRecord(TW_UINT16 dat, TW_MEMREF data, std::vector<std::uint8_t>& bytes) {
  const std::size_t size = data ? TraceRecordSize(dat, static_cast<int>(sizeof(void*))) : 0;
  const auto* record = static_cast<const std::uint8_t*>(data);
  bytes.assign(record, record + size);
  MaskTracePointers(dat, bytes.data(), bytes.size(), static_cast<int>(sizeof(void*)));
}

}  // namespace

std::vector<std::uint8_t> TraceRecordBytes(TW_UINT16 dat, TW_MEMREF data) {
  std::vector<std::uint8_t> bytes;
  CopyRecord(dat, data, bytes);
  return bytes;
}

std::optional<TraceContainer> TraceContainerBytes(const TW_CAPABILITY& record) {
  if (!record.hContainer) return std::nullopt;
  const std::size_t size = platform::MemSize(record.hContainer);
  if (size == 0 || size > kMaxTraceContainerBytes) return std::nullopt;
  platform::MemLockGuard lock(record.hContainer);
  if (!lock) return std::nullopt;
  const auto* bytes = static_cast<const std::uint8_t*>(lock.data());
  return TraceContainer{record.ConType, {bytes, bytes + size}};
}

TraceRecorder::TraceRecorder(TraceOutput& output, bool images) : writer_(output), images_(images) {}

bool TraceRecorder::Start(const TraceMachine& machine, std::vector<TraceCall> known) {
  startTick_ = platform::TickCount();
  machine_ = machine;
  known_ = std::move(known);
  if (TWAIN_Session().managerEntry) WriteHeader();
  return writer_.ok();
}

void TraceRecorder::WriteHeader() {
  headerWritten_ = true;
  const TwainSession& session = TWAIN_Session();
  if (machine_.manager.empty()) machine_.manager = session.managerFile;
  if (machine_.managerVersion.empty())
    machine_.managerVersion = platform::FileVersion(machine_.manager.c_str());
  writer_.WriteHeader(machine_);
  if (session.state >= 4) {
    // What replay needs of a connection already made: the open Source.
    TraceCall open;
    open.number = 0;
    open.originId = session.appIdentity.Id;
    open.dg = DG_CONTROL;
    open.dat = DAT_IDENTITY;
    open.msg = MSG_OPENDS;
    open.returned = true;
    open.rc = TWRC_SUCCESS;
    open.out = TraceRecordBytes(DAT_IDENTITY, const_cast<TW_IDENTITY*>(&session.sourceIdentity));
    writer_.WriteCall(open);
    for (const TraceCall& answer : known_) writer_.WriteCall(answer);
  }
  known_.clear();
}

bool TraceRecorder::Stopped() {
  if (writer_.ok()) return false;
  if (!failureNoted_) LogNote("The trace file cannot be written: recording stopped");
  failureNoted_ = true;
  return true;
}

void TraceRecorder::BeforeCall(const CallSite& site, TW_MEMREF data) {
  if (Stopped()) return;
  if (!headerWritten_) WriteHeader();
  if (depth_ == inFlight_.size()) inFlight_.emplace_back();
  InFlight& flight = inFlight_[depth_++];
  TraceCall& call = flight.call;
  call.number = nextNumber_++;
  call.millis = platform::TickCount() - startTick_;
  const TwainSession& session = TWAIN_Session();
  call.originId = session.appIdentity.Id;
  call.toSource = site.toSource;
  call.destinationId = site.toSource ? session.sourceIdentity.Id : 0;
  call.dg = site.dg;
  call.dat = site.dat;
  call.msg = site.msg;
  call.cap = site.cap;
  call.returned = false;
  call.rc = 0;
  call.cc = -1;
  call.unclaimedEventsBefore = 0;
  CopyRecord(site.dat, data, call.in);
  call.out.clear();
  call.containerIn.reset();
  call.containerOut.reset();
  call.blobs.clear();
  call.images.clear();
  flight.containerBefore = nullptr;
  flight.stripBuffer = {};
  flight.written = false;
  if (site.dat == DAT_IMAGEMEMXFER && data)
    flight.stripBuffer = static_cast<const TW_IMAGEMEMXFER*>(data)->Memory;
  if (site.dat == DAT_CAPABILITY && data) {
    const auto& record = *static_cast<const TW_CAPABILITY*>(data);
    flight.containerBefore = record.hContainer;
    call.containerIn = TraceContainerBytes(record);
  }
  // Most events are not the Source's: those are counted once their answer says so.
  if (!(site.dat == DAT_EVENT && site.msg == MSG_PROCESSEVENT)) {
    call.unclaimedEventsBefore = unclaimedEvents_;
    unclaimedEvents_ = 0;
    writer_.BeginCall(call);
    flight.written = true;
  }
}

void TraceRecorder::AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) {
  // A call begun before the recording was has no record of its start.
  if (Stopped() || depth_ == 0) return;
  InFlight& flight = inFlight_[--depth_];
  TraceCall& call = flight.call;
  if (!flight.written) {
    if (rc != TWRC_DSEVENT) {
      ++unclaimedEvents_;
      return;
    }
    call.unclaimedEventsBefore = unclaimedEvents_;
    unclaimedEvents_ = 0;
    writer_.BeginCall(call);
  }
  call.returned = true;
  call.rc = rc;
  CopyRecord(site.dat, data, call.out);
  if (site.dat == DAT_STATUS && rc == TWRC_SUCCESS && data)
    call.cc = static_cast<const TW_STATUS*>(data)->ConditionCode;
  if (site.dat == DAT_CAPABILITY && data && rc == TWRC_SUCCESS) {
    const auto& record = *static_cast<const TW_CAPABILITY*>(data);
    // A SET's own container comes back unchanged; any other answer is the Source's.
    if (record.hContainer != flight.containerBefore || site.msg != MSG_SET)
      call.containerOut = TraceContainerBytes(record);
  }
  if (site.dat == DAT_SETUPFILEXFER && data && rc == TWRC_SUCCESS) {
    const auto& setup = *static_cast<const TW_SETUPFILEXFER*>(data);
    transferFile_.assign(setup.FileName,
                         std::find(setup.FileName, setup.FileName + sizeof setup.FileName, '\0'));
  }
  if (site.dg == DG_IMAGE && site.msg == MSG_GET) {
    if (site.dat == DAT_IMAGENATIVEXFER && rc == TWRC_XFERDONE) TakeNativeImage(call, data);
    if (site.dat == DAT_IMAGEMEMXFER && (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE))
      TakeStrip(call, flight.stripBuffer, data);
    if (site.dat == DAT_IMAGEFILEXFER && rc == TWRC_XFERDONE) TakeFile(call);
  }
  writer_.EndCall(call);
  // An image's bytes are not kept for the next call in this slot.
  if (!call.blobs.empty()) std::vector<TraceBlob>().swap(call.blobs);
}

void TraceRecorder::AddImage(TraceCall& call, BlobKind kind, const std::uint8_t* bytes,
                             std::size_t size, std::int32_t width, std::int32_t height, int depth) {
  if (images_) {
    call.blobs.push_back({kind, {bytes, bytes + size}});
  } else {
    call.images.push_back({kind, width, height, depth, size, Crc32(bytes, size)});
  }
}

void TraceRecorder::TakeNativeImage(TraceCall& call, TW_MEMREF data) {
  if (!data) return;
  const TW_HANDLE block = *static_cast<TW_HANDLE*>(data);
  const std::size_t blockSize = block ? platform::MemSize(block) : 0;
  if (blockSize == 0 || blockSize > kMaxTraceBlobBytes) return;
  platform::MemLockGuard lock(block);
  if (!lock) return;
  // The bitmap as its header lays it out, when that fits the block; else the whole block.
  DibLayout layout;
  std::size_t size = blockSize;
  if (DIB_CheckLayout(lock.data(), blockSize, &layout) == DibCheck::kOk)
    size = layout.pixelOffset + layout.pixelBytes;
  AddImage(call, BlobKind::kDib, static_cast<const std::uint8_t*>(lock.data()), size, layout.width,
           layout.height, layout.depth);
}

void TraceRecorder::TakeStrip(TraceCall& call, const TW_MEMORY& buffer, TW_MEMREF data) {
  // The buffer is ours, as we set it up before the call; what the Source
  // says it wrote is believed only within it.
  if (!data || !buffer.TheMem) return;
  const auto& after = *static_cast<const TW_IMAGEMEMXFER*>(data);
  std::size_t length = buffer.Length;
  std::optional<platform::MemLockGuard> lock;
  const std::uint8_t* bytes = static_cast<const std::uint8_t*>(buffer.TheMem);
  if (buffer.Flags & TWMF_HANDLE) {
    lock.emplace(buffer.TheMem);
    if (!*lock) return;
    length = std::min(length, platform::MemSize(buffer.TheMem));
    bytes = static_cast<const std::uint8_t*>(lock->data());
  }
  const std::size_t written = std::min<std::size_t>(after.BytesWritten, length);
  AddImage(call, BlobKind::kStrip, bytes, written, static_cast<std::int32_t>(after.Columns),
           static_cast<std::int32_t>(after.Rows), 0);
}

void TraceRecorder::TakeFile(TraceCall& call) {
  if (transferFile_.empty()) return;
  platform::OpenedFile file(transferFile_.c_str());
  if (!file) return;
  const std::int64_t length = platform::FileLength(file.get());
  if (length < 0 || static_cast<std::uint64_t>(length) > kMaxTraceBlobBytes) return;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  bytes.resize(platform::ReadFileBytes(file.get(), bytes.data(), bytes.size()));
  AddImage(call, BlobKind::kFile, bytes.data(), bytes.size(), 0, 0, 0);
}
