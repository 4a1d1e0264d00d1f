// Arbitrary bytes as a session trace. Reading must end within the limits,
// and a trace it accepts, written again, must read back the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "trace/trace_reader.h"
#include "trace/trace_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TraceReadResult read =
      ReadTraceText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!read.trace) {
    if (read.errorLine <= 0 && size > 0) __builtin_trap();
    return 0;
  }
  StringTraceOutput output;
  TraceWriter writer(output);
  writer.WriteHeader(read.trace->machine);
  for (const TraceCall& call : read.trace->calls) writer.WriteCall(call);
  const TraceReadResult again = ReadTraceText(output.text);
  if (!again.trace || again.trace->calls.size() != read.trace->calls.size()) __builtin_trap();
  for (std::size_t i = 0; i < read.trace->calls.size(); ++i) {
    const TraceCall& a = read.trace->calls[i];
    const TraceCall& b = again.trace->calls[i];
    if (a.dg != b.dg || a.dat != b.dat || a.msg != b.msg || a.cap != b.cap || a.in != b.in ||
        a.out != b.out || a.cc != b.cc || a.blobs.size() != b.blobs.size() ||
        a.images.size() != b.images.size() ||
        a.containerIn.has_value() != b.containerIn.has_value() ||
        a.containerOut.has_value() != b.containerOut.has_value() || (a.returned && a.rc != b.rc)) {
      __builtin_trap();
    }
    for (std::size_t k = 0; k < a.blobs.size(); ++k)
      if (a.blobs[k].bytes != b.blobs[k].bytes) __builtin_trap();
  }
  return 0;
}
