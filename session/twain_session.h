// The one TWAIN session of the process: its record, start-up and shutdown,
// and the operations that move it one state up or down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "session/record_guard.h"
#include "twain/twain.h"

// Kinds of the first-failure record.
constexpr std::int32_t kFailureOpenSource = 4;
constexpr std::int32_t kFailureEnableSource = 5;
constexpr std::int32_t kFailureImageTransfer = 6;
constexpr std::int32_t kFailureTransferCancelled = 19;

struct FirstFailure {
  std::int32_t kind = 0;  // 0: nothing recorded yet
  TW_INT16 resultCode = 0;
  TW_UINT16 conditionCode = 0;
};

TW_IDENTITY DefaultAppIdentity();

// How one Source Manager file fared when the library tried to bind it.
enum class ManagerOutcome { kBound, kMissing, kLoadFailed, kNoEntry };
struct ManagerAttempt {
  std::string path;
  ManagerOutcome outcome = ManagerOutcome::kMissing;
  std::string error;  // the system's reason when loading failed
};

// The 2.x paths: what the Manager and the Source granted.
enum class EntryPointOutcome { kNotAsked, kNotDsm2, kGranted, kRefused, kUnusable };
enum class CallbackOutcome { kNotAsked, kNotDs2, kRegistered, kRefused };
struct Twain2Record {
  bool enabled = false;  // the application identity carries DF_APP2
  EntryPointOutcome entryPoint = EntryPointOutcome::kNotAsked;
  TW_ENTRYPOINT entry{};  // as far as the Manager's Size covers it
  TW_UINT32 entrySize = 0;
  CallbackOutcome callback = CallbackOutcome::kNotAsked;
  // Result and condition of the last refused triplet.
  TW_UINT16 refusedRc = 0;
  TW_UINT16 refusedCc = 0;
  // Counts opened Sources, so an event posted for one is not taken for the next.
  std::uintptr_t sourceSerial = 0;
};

// A Source's successful answer to MSG_ENDXFER or MSG_RESET and the Count it
// returned; `serial` counts the answers, so a caller sees whether one came.
struct PendingAnswer {
  std::uint32_t serial = 0;
  TW_UINT16 message = 0;
  TW_UINT16 count = 0;
};

struct TwainSession {
  std::int32_t state = 1;
  // Each identity is handed to the Source with every call; the bytes after
  // it are guard bytes, so a Source writing past one is caught.
  TW_IDENTITY appIdentity = DefaultAppIdentity();
  GuardBytes appGuard;
  TW_IDENTITY sourceIdentity{};
  GuardBytes sourceGuard;
  platform::ModuleHandle managerLibrary = nullptr;
  DSMENTRYPROC managerEntry = nullptr;
  platform::WindowHandle parentWindow = nullptr;
  TW_USERINTERFACE userInterface{};
  bool hideDeviceUI = false;
  TW_PENDINGXFERS pendingXfers{};
  PendingAnswer pendingAnswer;
  TW_IDENTITY scratchIdentity{};
  platform::WindowHandle proxyWindow = nullptr;
  platform::ModuleHandle moduleInstance = nullptr;
  std::int32_t startupCount = 0;
  TW_INT16 lastResultCode = 0;
  std::int32_t callNesting = 0;
  std::int32_t memoryBufferCount = 0;
  FirstFailure firstFailure;
  // The library's own transfer (MSG_XFERREADY met while draining).
  std::int32_t ownXferMech = TWSX_NATIVE;
  TW_HANDLE ownXferResult = nullptr;
  // ProductName of the source identity, always terminated: the identity
  // comes from the Source Manager and its text may fill all 34 bytes.
  char sourceProductName[sizeof(TW_STR32) + 1] = {};
  // Set by the image-file reader when it loads a JPEG decoder; shutdown
  // calls it so the decoder is released with the Source Manager.
  void (*releaseJpegLibrary)() = nullptr;
  // The file named by the user instead of the search; empty to search.
  std::string managerPathOverride;
  std::string managerFile;                      // the file bound
  std::vector<ManagerAttempt> managerAttempts;  // the last binding's, in order
  Twain2Record twain2;
};

// The record itself, for the library's own files and for tests. Read inline:
// a capability scan asks for it several times per triplet.
extern TwainSession g_twainSession;
inline TwainSession& TWAIN_Session() {
  return g_twainSession;
}
// Back to the state of a freshly loaded process (tests only; the program
// resets through TWAIN_Shutdown and TWAIN_Startup).
void TWAIN_ResetSession();

int TWAIN_Startup();
void TWAIN_Shutdown();
void TWAIN_SetAppIdentity(TW_UINT16 majorNum, TW_UINT16 minorNum, TW_UINT16 language,
                          TW_UINT16 country, const char* versionInfo, const char* manufacturer,
                          const char* productFamily, const char* productName);
inline int TWAIN_State() {
  return g_twainSession.state;
}
void TWAIN_SetState(int state);

bool TWAIN_BindManager();
bool TWAIN_ManagerOpen(platform::WindowHandle window);
bool TWAIN_SourceOpenDefault();
bool TWAIN_SourceEnable(platform::WindowHandle window);
bool TWAIN_SourceDisable();
bool TWAIN_SourceClose();
bool TWAIN_ManagerClose(platform::WindowHandle window);
bool TWAIN_UnbindManager();
bool TWAIN_XferEnd();
bool TWAIN_XferAbortAll();

int TWAIN_SetUIHidden(bool hidden);
int TWAIN_UIHidden();
const char* TWAIN_SourceProductName();
int TWAIN_CopySourceIdentity(TW_IDENTITY* destination);
int TWAIN_LibraryVersion();

// The Source Manager's file: the Windows directory, then the system
// directory; then the 2.x Manager in the system directory.
constexpr const char* kManagerFileName = "TWAIN_32.DLL";
constexpr const char* kManager2FileName = "TWAINDSM.DLL";
constexpr const char* kManagerEntryName = "DSM_Entry";
// Binds exactly this file instead of searching (null or empty: search).
void TWAIN_SetManagerPath(const char* path);
// The file bound by the last successful TWAIN_BindManager, and how every
// file it tried fared.
const std::string& TWAIN_ManagerFile();
const std::vector<ManagerAttempt>& TWAIN_ManagerAttempts();
// Builds <directory>\<file> into out (capacity bytes), with no backslash after
// an empty directory or one that ends in a colon; false when it does not fit.
bool TWAIN_JoinPath(const char* directory, const char* file, char* out, std::size_t capacity);
