#include "trace/trace_session.h"

#include <algorithm>

#include "session/twain_session.h"

TraceSession::TraceSession() {
  watchesBefore = false;  // until a recording begins
}

TraceSession::~TraceSession() {
  Stop();
}

bool TraceSession::Start(std::unique_ptr<TraceOutput> output, bool images,
                         const TraceMachine& machine) {
  Stop();
  auto recorder = std::make_unique<TraceRecorder>(*output, images);
  if (!recorder->Start(machine, KnownAnswers())) return false;
  output_ = std::move(output);
  recorder_ = std::move(recorder);
  watchesBefore = true;
  return true;
}

void TraceSession::Stop() {
  watchesBefore = false;
  recorder_.reset();
  output_.reset();
}

void TraceSession::WriteOut() {
  if (output_) output_->WriteOut();
}

void TraceSession::BeforeCall(const CallSite& site, TW_MEMREF data) {
  if (recorder_) recorder_->BeforeCall(site, data);
}

void TraceSession::AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) {
  // An answer is read before the next call returns, or never.
  pendingBlock_ = nullptr;
  if (site.dat == DAT_CAPABILITY || site.dat == DAT_IDENTITY) Learn(site, data, rc);
  if (recorder_) recorder_->AfterCall(site, data, rc);
}

void TraceSession::Learn(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) {
  // What was known belongs to the Source that answered it.
  if (site.dat == DAT_IDENTITY) {
    if (site.msg == MSG_OPENDS || site.msg == MSG_CLOSEDS) answers_.clear();
    return;
  }
  if (rc != TWRC_SUCCESS || !data) return;
  const auto& record = *static_cast<const TW_CAPABILITY*>(data);
  const bool question = site.msg == MSG_GET || site.msg == MSG_GETCURRENT ||
                        site.msg == MSG_GETDEFAULT || site.msg == MSG_QUERYSUPPORT;
  if (!question) {
    // A SET or RESET may move any capability's value: what GET and
    // GETCURRENT answered before it is no longer known.
    ++moves_;
    return;
  }
  pendingBlock_ = record.hContainer;
  pendingKey_ = std::uint32_t{site.cap} << 16 | site.msg;
  pendingConType_ = record.ConType;
}

void TraceSession::ContainerRead(TW_HANDLE block, const void* data, std::size_t size) {
  if (!block || block != pendingBlock_) return;
  pendingBlock_ = nullptr;
  if (size == 0 || size > kMaxTraceContainerBytes) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  Known& known = answers_[pendingKey_];
  known.conType = pendingConType_;
  known.moves = moves_;
  known.container.assign(bytes, bytes + size);  // the block of an earlier answer is reused
}

std::vector<TraceCall> TraceSession::KnownAnswers() const {
  std::vector<TraceCall> calls;
  if (TWAIN_State() < 4) return calls;
  const TwainSession& session = TWAIN_Session();
  std::vector<std::uint32_t> keys;
  keys.reserve(answers_.size());
  for (const auto& entry : answers_) keys.push_back(entry.first);
  std::sort(keys.begin(), keys.end());  // capability order
  calls.reserve(keys.size());
  for (std::uint32_t key : keys) {
    const Known& known = answers_.at(key);
    TraceCall call;
    call.msg = static_cast<TW_UINT16>(key & 0xFFFF);
    const bool moved = call.msg == MSG_GET || call.msg == MSG_GETCURRENT;
    if (moved && known.moves != moves_) continue;
    call.originId = session.appIdentity.Id;
    call.toSource = true;
    call.destinationId = session.sourceIdentity.Id;
    call.dg = DG_CONTROL;
    call.dat = DAT_CAPABILITY;
    call.cap = static_cast<TW_UINT16>(key >> 16);
    call.returned = true;
    call.rc = TWRC_SUCCESS;
    TW_CAPABILITY record{call.cap, TWON_DONTCARE16, nullptr};
    call.in = TraceRecordBytes(DAT_CAPABILITY, &record);
    // Only whether the handle was set is written, never its value.
    record.ConType = known.conType;
    record.hContainer = reinterpret_cast<TW_HANDLE>(std::uintptr_t{1});
    call.out = TraceRecordBytes(DAT_CAPABILITY, &record);
    call.containerOut = TraceContainer{known.conType, known.container};
    calls.push_back(std::move(call));
  }
  return calls;
}
