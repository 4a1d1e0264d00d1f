// Records a session as it happens: the seam's observer, writing each call
// to a trace. The line of a call is on disk before the call is made, so a
// Source that hangs or takes the process down leaves a trace naming it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/call_seam.h"
#include "trace/trace_writer.h"

// The record a triplet's data points to, as bytes (empty for none we know).
std::vector<std::uint8_t> TraceRecordBytes(TW_UINT16 dat, TW_MEMREF data);
// A capability's container block, bounded by the block; nothing for one
// that cannot be locked or is beyond what a trace holds.
std::optional<TraceContainer> TraceContainerBytes(const TW_CAPABILITY& record);

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
  // `known`: answers the Source gave before the recording began, written
  // after its identity.
  bool Start(const TraceMachine& machine, std::vector<TraceCall> known = {});

  void BeforeCall(const CallSite& site, TW_MEMREF data) override;
  void AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) override;

  bool ok() const { return writer_.ok(); }

 private:
  struct InFlight {
    TraceCall call;
    TW_HANDLE containerBefore = nullptr;
    TW_MEMORY stripBuffer{};  // a memory transfer's buffer, as we handed it over
    bool written = false;     // MSG_PROCESSEVENT waits for its outcome
  };
  void WriteHeader();
  // Once a write failed: one log note, and nothing more is recorded.
  bool Stopped();
  void AddImage(TraceCall& call, BlobKind kind, const std::uint8_t* bytes, std::size_t size,
                std::int32_t width, std::int32_t height, int depth);
  void TakeNativeImage(TraceCall& call, TW_MEMREF data);
  void TakeStrip(TraceCall& call, const TW_MEMORY& buffer, TW_MEMREF data);
  void TakeFile(TraceCall& call);

  TraceWriter writer_;
  bool images_;
  TraceMachine machine_;
  std::vector<TraceCall> known_;
  bool headerWritten_ = false;
  bool failureNoted_ = false;
  std::uint32_t startTick_ = 0;
  std::uint32_t nextNumber_ = 1;
  std::uint32_t unclaimedEvents_ = 0;
  // Slots for the calls in progress, kept and refilled so that recording a
  // call allocates nothing once the recording is under way.
  std::vector<InFlight> inFlight_;
  std::size_t depth_ = 0;
  std::string transferFile_;  // as the last DAT_SETUPFILEXFER named it
};
