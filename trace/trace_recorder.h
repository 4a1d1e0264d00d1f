// Records a session as it happens: the seam's observer, writing each call
// to a trace. The line of a call is on disk before the call is made, so a
// Source that hangs or takes the process down leaves a trace naming it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/call_seam.h"
#include "trace/trace_writer.h"

class TraceRecorder : public CallObserver {
 public:
  // With `images` false each image is written as its size, format and
  // checksum, never its pixels.
  TraceRecorder(TraceOutput& output, bool images);

  // The header names the Manager bound: it is written now when one is,
  // else before the first call. The Manager's file and version are the
  // session's when the caller leaves them empty. When a Source is already
  // open its identity comes first, as call #0 ("as it was when the
  // recording began").
  bool Start(const TraceMachine& machine);

  void BeforeCall(const CallSite& site, TW_MEMREF data) override;
  void AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) override;

  bool ok() const { return writer_.ok(); }

 private:
  struct InFlight {
    TraceCall call;
    TW_HANDLE containerBefore = nullptr;
    bool written = false;  // MSG_PROCESSEVENT waits for its outcome
  };
  void WriteHeader();
  // Once a write failed: one log note, and nothing more is recorded.
  bool Stopped();
  void AddImage(TraceCall& call, BlobKind kind, const std::uint8_t* bytes, std::size_t size,
                std::int32_t width, std::int32_t height, int depth);
  void TakeNativeImage(TraceCall& call, TW_MEMREF data);
  void TakeStrip(TraceCall& call, TW_MEMREF data);
  void TakeFile(TraceCall& call);

  TraceWriter writer_;
  bool images_;
  TraceMachine machine_;
  bool headerWritten_ = false;
  bool failureNoted_ = false;
  std::uint32_t startTick_ = 0;
  std::uint32_t nextNumber_ = 1;
  std::uint32_t unclaimedEvents_ = 0;
  std::vector<InFlight> inFlight_;
  std::string transferFile_;  // as the last DAT_SETUPFILEXFER named it
};
