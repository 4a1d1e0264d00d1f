#include "pages/log.h"

#include <cstdarg>
#include <cstdio>

#include "vocab/number_text.h"

namespace {

struct LogRecord {
  bool on = true;
  LogSink sink = nullptr;
  void* context = nullptr;
  // One shared buffer, as every write is handed on synchronously.
  char buffer[kLogLineLimit + 1] = {};
};

LogRecord g_log;

void Write(bool final, const char* format, va_list args) {
  std::vsnprintf(g_log.buffer, sizeof(g_log.buffer), format, args);
  if (g_log.on && g_log.sink) g_log.sink(g_log.buffer, final, g_log.context);
}

}  // namespace

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const VaListEnd end{args};
  Write(true, format, args);
}

void LogProgress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const VaListEnd end{args};
  Write(false, format, args);
}

void LogNote(const char* format, ...) {
  char text[kLogLineLimit + 1];
  va_list args;
  va_start(args, format);
  const VaListEnd end{args};
  std::vsnprintf(text, sizeof(text), format, args);
  LogLine("%s%s", kLogNotePrefix, text);
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
