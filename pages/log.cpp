#include "pages/log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "vocab/number_text.h"

namespace {

struct LogRecord {
  bool on = true;
  LogSink sink = nullptr;
  void* context = nullptr;
};

LogRecord g_log;

// The prefix (a note's indent) goes in front of the formatted text, and the
// whole line is cut at the limit.
// The buffer is the writer's own: the watchdog and a faulting worker thread
// write notes while the window's thread may be writing too.
void Write(bool final, std::string_view prefix, const char* format, va_list args) {
  char buffer[kLogLineLimit + 1];
  const std::size_t start = std::min(prefix.size(), kLogLineLimit);
  prefix.copy(buffer, start);
  std::vsnprintf(buffer + start, sizeof(buffer) - start, format, args);
  if (g_log.on && g_log.sink) g_log.sink(buffer, final, g_log.context);
}

}  // namespace

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const VaListEnd end{args};
  Write(true, {}, format, args);
}

void LogProgress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const VaListEnd end{args};
  Write(false, {}, format, args);
}

void LogNote(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const VaListEnd end{args};
  Write(true, kLogNotePrefix, format, args);
}

void SetLogSwitch(bool on) {
  g_log.on = on;
}
bool LogSwitch() {
  return g_log.on;
}

void SetLogSink(LogSink sink, void* context) {
  g_log.sink = sink;
  g_log.context = context;
}

void ResetLog() {
  g_log = LogRecord{};
}
