// LogLine and LogProgress: printf-style writes of a final or a provisional
// line to the probe's log, cut to 399 characters. The process-wide log
// switch silences both.
#pragma once

#include <cstddef>

constexpr std::size_t kLogLineLimit = 399;
// The probe window's private messages for a final and a provisional text;
// the message parameter carries the text's address.
constexpr unsigned kLogFinalMessage = 0x0400 + 100;
constexpr unsigned kLogProgressMessage = 0x0400 + 101;
// From another thread: the text is a heap copy the window frees, wParam is
// nonzero for a final line (already in the mirror).
constexpr unsigned kLogPostedMessage = 0x0400 + 102;

void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogProgress(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A final line of our own beyond the probe's fixed log texts (why a call
// failed, what a Source did against the protocol). Every such line comes
// from here and reads kLogNotePrefix + text, so it is told apart at a glance.
void LogNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
constexpr const char* kLogNotePrefix = "   ";

void SetLogSwitch(bool on);
bool LogSwitch();

// Where formatted texts go while the switch is on: the probe window on
// Windows, a recorder in tests. Nothing is written while there is none.
using LogSink = void (*)(const char* text, bool final, void* context);
void SetLogSink(LogSink sink, void* context);

// Back to the start: switch on, no sink.
void ResetLog();
