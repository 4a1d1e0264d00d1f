#include "trace/trace_session.h"

#include "session/twain_session.h"

TraceSession::TraceSession() = default;

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
  return true;
}

void TraceSession::Stop() {
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
    // A SET or RESET may move any capability's value: only defaults and
    // what is supported stay known.
    std::erase_if(answers_, [](const auto& entry) {
      return entry.first.second == MSG_GET || entry.first.second == MSG_GETCURRENT;
    });
    return;
  }
  const TwainSession& session = TWAIN_Session();
  TraceCall call;
  call.originId = session.appIdentity.Id;
  call.toSource = true;
  call.destinationId = session.sourceIdentity.Id;
  call.dg = site.dg;
  call.dat = site.dat;
  call.msg = site.msg;
  call.cap = site.cap;
  call.returned = true;
  call.rc = rc;
  TW_CAPABILITY asked{record.Cap, TWON_DONTCARE16, nullptr};
  call.in = TraceRecordBytes(DAT_CAPABILITY, &asked);
  call.out = TraceRecordBytes(DAT_CAPABILITY, data);
  call.containerOut = TraceContainerBytes(record);
  if (call.containerOut) answers_[{site.cap, site.msg}] = std::move(call);
}

std::vector<TraceCall> TraceSession::KnownAnswers() const {
  std::vector<TraceCall> calls;
  if (TWAIN_State() < 4) return calls;
  calls.reserve(answers_.size());
  for (const auto& [key, call] : answers_) calls.push_back(call);
  return calls;
}
