// Writes a session trace (trace/trace_format.h) to an output, flushing after
// each piece so what is written survives the process.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "trace/trace_format.h"

class TraceOutput {
 public:
  virtual ~TraceOutput() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
  virtual bool Flush() = 0;
};

class StringTraceOutput : public TraceOutput {
 public:
  bool Write(const void* data, std::size_t size) override;
  bool Flush() override { return true; }
  std::string text;
};

// A file opened for writing (replacing what was there), closed with the object.
class FileTraceOutput : public TraceOutput {
 public:
  explicit FileTraceOutput(const std::string& path);
  ~FileTraceOutput() override;
  FileTraceOutput(const FileTraceOutput&) = delete;
  FileTraceOutput& operator=(const FileTraceOutput&) = delete;
  bool IsOpen() const { return file_ != nullptr; }
  bool Write(const void* data, std::size_t size) override;
  bool Flush() override;

 private:
  std::FILE* file_ = nullptr;
};

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

  TraceOutput& output_;
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
