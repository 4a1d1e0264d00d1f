#include "pages/manager_notes.h"

#include "caps/logged_operations.h"
#include "pages/log.h"
#include "platform/module.h"
#include "session/triplet_calls.h"
#include "vocab/number_text.h"
#include "vocab/triplet_text.h"

namespace {

constexpr const char* kOneXPaths = "staying on the 1.x paths";
constexpr const char* kQueueEvents = "events come through the message queue";

std::string Reason(const ManagerAttempt& attempt) {
  switch (attempt.outcome) {
    case ManagerOutcome::kMissing:
      return "no such file";
    case ManagerOutcome::kLoadFailed:
      return attempt.error.empty() ? "the system would not load it" : attempt.error;
    case ManagerOutcome::kNoEntry:
      return "it exports no DSM_Entry";
    case ManagerOutcome::kBound:
      break;
  }
  return {};
}

void LogAll(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) LogNote("%s", text.c_str());
}

}  // namespace

std::vector<std::string> ManagerBindNoteTexts() {
  std::vector<std::string> texts;
  const std::string& bound = TWAIN_ManagerFile();
  if (!bound.empty()) {
    const std::string version = platform::FileVersion(bound.c_str());
    texts.push_back(version.empty() ? FormatText("Source Manager: %s", bound.c_str())
                                    : FormatText("Source Manager: %s (version %s)", bound.c_str(),
                                                 version.c_str()));
  }
  // With a Manager bound, only the files that are there and would not do.
  for (const ManagerAttempt& attempt : TWAIN_ManagerAttempts()) {
    if (attempt.outcome == ManagerOutcome::kBound) continue;
    if (!bound.empty() && attempt.outcome == ManagerOutcome::kMissing) continue;
    texts.push_back(
        FormatText("Not loaded: %s (%s)", attempt.path.c_str(), Reason(attempt).c_str()));
  }
  return texts;
}

std::string FailedCallNoteText(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, int rc, TW_UINT16 cc) {
  return TripletText(dg, dat, msg) + " -> " + ResultTextOf(rc, cc);
}

std::string EntryPointNoteText() {
  const Twain2Record& t = TWAIN_Twain2Record();
  switch (t.entryPoint) {
    case EntryPointOutcome::kNotDsm2:
      return FormatText("The Source Manager is not 2.x (no DF_DSM2 in its answer): %s", kOneXPaths);
    case EntryPointOutcome::kRefused:
      return FailedCallNoteText(DG_CONTROL, DAT_ENTRYPOINT, MSG_GET, t.refusedRc, t.refusedCc) +
             ": " + kOneXPaths;
    case EntryPointOutcome::kUnusable:
      return FormatText("DAT_ENTRYPOINT answered Size %u without all four memory functions: %s",
                        static_cast<unsigned>(t.entrySize), kOneXPaths);
    case EntryPointOutcome::kGranted:
      return "DAT_ENTRYPOINT granted: blocks go through the Source Manager's memory functions";
    case EntryPointOutcome::kNotAsked:
      break;
  }
  return {};
}

std::string CallbackNoteText(const char* sourceName) {
  const Twain2Record& t = TWAIN_Twain2Record();
  switch (t.callback) {
    case CallbackOutcome::kNotDs2:
      return FormatText("%s is not a 2.x Source (no DF_DS2): %s", sourceName, kQueueEvents);
    case CallbackOutcome::kRefused:
      return FailedCallNoteText(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, t.refusedRc,
                                t.refusedCc) +
             ": " + kQueueEvents;
    case CallbackOutcome::kRegistered:
      return "DAT_CALLBACK registered: Source events come by callback";
    case CallbackOutcome::kNotAsked:
      break;
  }
  return {};
}

std::string CallbackEventNoteText(const CallbackEvent& event) {
  const std::string name = MessageName(event.message);
  switch (event.kind) {
    case CallbackEventKind::kUnknownMessage:
      return FormatText("Callback with %s, not a Source event: ignored", name.c_str());
    case CallbackEventKind::kNoSource:
      return FormatText("Callback with %s in state %d, no Source enabled: ignored", name.c_str(),
                        event.state);
    case CallbackEventKind::kStale:
      return FormatText("Callback with %s for a Source no longer open: ignored", name.c_str());
    case CallbackEventKind::kAccepted:
    case CallbackEventKind::kNotCallback:
      break;
  }
  return {};
}

void LogManagerBindNotes() {
  LogAll(ManagerBindNoteTexts());
}

void LogManagerOpenNotes(bool opened) {
  if (!opened) {
    if (TWAIN_State() < 2) return;
    const int rc = TWAIN_GetResultCode();
    LogNote("%s", FailedCallNoteText(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, rc,
                                     TWAIN_ManagerConditionCode())
                      .c_str());
    return;
  }
  const std::string text = EntryPointNoteText();
  if (!text.empty()) LogNote("%s", text.c_str());
}

void LogSourceOpenNotes(bool opened, TW_UINT32 listedId) {
  if (!opened) {
    const int rc = TWAIN_GetResultCode();
    LogNote("%s",
            FailedCallNoteText(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, rc, TWAIN_GetConditionCode())
                .c_str());
    return;
  }
  TW_IDENTITY identity{};
  TWAIN_CopySourceIdentity(&identity);
  // A 1.x Manager may number the opened Source anew; a 2.x one keeps the listed Id.
  const bool manager2 = (TWAIN_Session().appIdentity.SupportedGroups & DF_DSM2) != 0;
  if (manager2 && listedId != 0 && identity.Id != listedId) {
    LogNote("The Source Manager listed this Source as Id %u and opened it as Id %u",
            static_cast<unsigned>(listedId), static_cast<unsigned>(identity.Id));
  }
  const std::string text = CallbackNoteText(TWAIN_SourceProductName());
  if (!text.empty()) LogNote("%s", text.c_str());
}

void LogCallbackEventNote(const CallbackEvent& event) {
  const std::string text = CallbackEventNoteText(event);
  if (!text.empty()) LogNote("%s", text.c_str());
}
