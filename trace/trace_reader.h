// Reads a session trace back into its calls. A trace is untrusted input:
// every read is bounded by what the text holds and by the format's limits,
// and anything damaged is refused with the line it was found on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "trace/trace_format.h"

struct TraceReadResult {
  std::optional<Trace> trace;  // set when the text was read whole
  int errorLine = 0;
  std::string error;  // "line 12: ..." when refused
};

TraceReadResult ReadTraceText(std::string_view text);
// A trace file is refused above this size before it is loaded.
constexpr std::uint64_t kMaxTraceFileBytes = std::uint64_t{1} << 30;
TraceReadResult ReadTraceFile(const std::string& path);
