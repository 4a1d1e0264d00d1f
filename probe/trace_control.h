// The run's session trace as the window starts and stops it: "--trace" at
// start-up, "Record Trace..." in the log's menu. One recording at a time;
// the session is the seam's observer from start-up to exit either way.
#pragma once

// Starts observing the seam; call before any triplet is sent.
void BeginTraceSession();
// Ends any recording and stops observing.
void EndTraceSession();
// False: every recording writes each image's size and checksum instead of
// its pixels ("--trace-no-images").
void SetTraceImages(bool images);
// Ends any recording and records into `path` (replaced); false, with
// nothing recorded, when the file cannot be written.
bool StartTraceFile(const char* path);
void StopTraceFile();
bool TraceRecording();
// For a process about to end: the recording's last lines to its file now.
void WriteOutTrace();
