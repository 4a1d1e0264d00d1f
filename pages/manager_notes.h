// The log's note lines about the Source Manager and the 2.x paths: which
// file was bound, why a Manager or Source call failed, what the Manager and
// the Source granted, and Source events that came by callback.
#pragma once

#include <string>
#include <vector>

#include "session/twain2.h"
#include "twain/twain.h"

// After the load step: the file bound and its version, then every file
// that was tried and would not do (all of them when none would).
void LogManagerBindNotes();
// After the open step: on failure the result of MSG_OPENDSM; on success,
// in 2.x mode, what came of DAT_ENTRYPOINT.
void LogManagerOpenNotes(bool opened);
// After opening a Source: on failure the result of MSG_OPENDS; on success
// an Id that changed since the list under a 2.x Manager and, in 2.x mode,
// what came of DAT_CALLBACK.
void LogSourceOpenNotes(bool opened, TW_UINT32 listedId);
// A callback event that is not taken.
void LogCallbackEventNote(const CallbackEvent& event);

// The texts, for the functions above and for tests.
std::vector<std::string> ManagerBindNoteTexts();
std::string FailedCallNoteText(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, int rc, TW_UINT16 cc);
std::string EntryPointNoteText();
std::string CallbackNoteText(const char* sourceName);
std::string CallbackEventNoteText(const CallbackEvent& event);
