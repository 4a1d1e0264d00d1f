// Writes a session trace (trace/trace_format.h) to an output, flushing after
// each piece so what is written survives the process.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "trace/trace_format.h"

class TraceOutput {
 public:
  virtual ~TraceOutput() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
  virtual bool Flush() = 0;
  // Anything kept in memory goes to its destination now.
  virtual bool WriteOut() { return Flush(); }
};

class StringTraceOutput : public TraceOutput {
 public:
  bool Write(const void* data, std::size_t size) override;
  bool Flush() override { return true; }
  std::string text;
};

// A file opened for writing (replacing what was there). A call's line must
// reach the file before the call can hang or end the process, but a system
// call per triplet would cost a recording more than the triplets do: lines
// gather in memory and a thread of the output's own writes them out within
// kTraceWriteOutMs, and at once when the output is closed or WriteOut() is
// called (a fault about to end the process).
class FileTraceOutput : public TraceOutput {
 public:
  explicit FileTraceOutput(const std::string& path);
  ~FileTraceOutput() override;
  FileTraceOutput(const FileTraceOutput&) = delete;
  FileTraceOutput& operator=(const FileTraceOutput&) = delete;
  bool IsOpen() const { return file_ != nullptr; }
  bool Write(const void* data, std::size_t size) override;
  bool Flush() override;
  // Writes what has gathered to the file now; false once a write failed.
  bool WriteOut() override;

 private:
  void WriterThread();
  // Hands what has gathered to the caller, who writes it to the file.
  void TakeGathered(std::string& into);

  std::FILE* file_ = nullptr;
  // Held only to append or to take what gathered: a flag, not a mutex,
  // since the window's thread takes it twice per triplet.
  std::atomic_flag gathering_ = ATOMIC_FLAG_INIT;
  std::string gathered_;
  std::mutex fileLock_;  // one writer of the file at a time
  std::string writing_;  // the writer's, under fileLock_
  std::atomic<bool> failed_{false};
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool closing_ = false;
  std::thread writer_;
};
constexpr int kTraceWriteOutMs = 20;
constexpr std::size_t kTraceGatherBytes = std::size_t{1} << 20;

class TraceWriter {
 public:
  explicit TraceWriter(TraceOutput& output) : output_(output) {}

  bool WriteHeader(const TraceMachine& machine);
  // The call's line up to its triplet, before the call is made.
  bool BeginCall(const TraceCall& call);
  // Its outcome and data once it returned.
  bool EndCall(const TraceCall& call);
  bool WriteCall(const TraceCall& call) { return BeginCall(call) && EndCall(call); }
  // False once any write failed.
  bool ok() const { return ok_; }

 private:
  bool Put(const std::string& text);
  bool PutBytes(const void* data, std::size_t size);
  bool Flush();
  // The outcome's codes, named once each.
  void AppendOutcome(std::string& text, const TraceCall& call);

  TraceOutput& output_;
  std::string scratch_;
  std::unordered_map<int, std::string> codeTexts_;
  std::optional<std::uint32_t> pending_;  // the call whose line is not ended yet
  bool ok_ = true;
};

// The hex text of bytes, two lowercase digits a byte.
std::string HexText(const std::vector<std::uint8_t>& bytes);
// What a container's bytes hold, as one line of the Capabilities page's words.
std::string ContainerText(const TraceContainer& container, int cap);
// A code's name, or "TWRC_0x%04x" / "TWCC_0x%04x" for one no table lists:
// one word either way.
std::string TraceResultCodeText(TW_UINT16 rc);
std::string TraceConditionCodeText(TW_UINT16 cc);
// "#12 0.153s app 1 -> src 2 DG_CONTROL / DAT_CAPABILITY / MSG_GET ICAP_PIXELTYPE"
std::string CallHeadText(const TraceCall& call);
