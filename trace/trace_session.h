// The run's recording: at most one trace at a time, begun at start-up
// ("--trace") or from the log's menu, ended by the next one or at exit.
// It is the seam's observer for the whole run, recording or not, so that a
// recording begun mid-connection starts with the answers the Source
// already gave: what a replay needs of the calls made before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "session/call_seam.h"
#include "trace/trace_recorder.h"

class TraceSession : public CallObserver {
 public:
  TraceSession();
  ~TraceSession() override;
  TraceSession(const TraceSession&) = delete;
  TraceSession& operator=(const TraceSession&) = delete;

  // Ends any recording and begins one into `output`; false (and nothing
  // recorded) when its start cannot be written.
  bool Start(std::unique_ptr<TraceOutput> output, bool images, const TraceMachine& machine);
  void Stop();
  bool recording() const { return recorder_ != nullptr; }
  // Puts what the recording has gathered in its file now, for a process
  // about to end (an output that writes at once has nothing to do).
  void WriteOut();

  void BeforeCall(const CallSite& site, TW_MEMREF data) override;
  void AfterCall(const CallSite& site, TW_MEMREF data, TW_UINT16 rc) override;
  void ContainerRead(TW_HANDLE block, const void* data, std::size_t size) override;

  // The last successful answer of the open Source to each capability
  // question (MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_QUERYSUPPORT),
  // as calls numbered 0, in capability order.
  std::vector<TraceCall> KnownAnswers() const;

 private:
  void Learn(const CallSite& site, TW_MEMREF data, TW_UINT16 rc);

  // Kept lean, since it is learnt on every capability call of the run: the
  // records around it are made only when a recording asks.
  struct Known {
    TW_UINT16 conType = 0;
    std::uint32_t moves = 0;  // the SETs and RESETs before it was answered
    std::vector<std::uint8_t> container;
  };
  std::unique_ptr<TraceOutput> output_;
  std::unique_ptr<TraceRecorder> recorder_;
  std::unordered_map<std::uint32_t, Known> answers_;  // by cap << 16 | msg
  std::uint32_t moves_ = 0;
  // The answer just given, learnt when the library reads its block (before
  // the next call returns); an answer nobody reads is not learnt.
  TW_HANDLE pendingBlock_ = nullptr;
  std::uint32_t pendingKey_ = 0;
  TW_UINT16 pendingConType_ = 0;
};
