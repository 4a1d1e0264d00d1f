// The one TWAIN session of the process: its record, start-up and shutdown,
// and the operations that move it one state up or down.
#pragma once

#include <cstdint>

#include "platform/handles.h"
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

struct TwainSession {
  std::int32_t state = 1;
  TW_IDENTITY appIdentity = DefaultAppIdentity();
  TW_IDENTITY sourceIdentity{};
  platform::ModuleHandle managerLibrary = nullptr;
  DSMENTRYPROC managerEntry = nullptr;
  platform::WindowHandle parentWindow = nullptr;
  TW_USERINTERFACE userInterface{};
  bool hideDeviceUI = false;
  TW_PENDINGXFERS pendingXfers{};
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
};

// The record itself, for the library's own files and for tests.
TwainSession& TWAIN_Session();
// Back to the state of a freshly loaded process (tests only; the program
// resets through TWAIN_Shutdown and TWAIN_Startup).
void TWAIN_ResetSession();

int TWAIN_Startup();
void TWAIN_Shutdown();
void TWAIN_SetAppIdentity(TW_UINT16 majorNum, TW_UINT16 minorNum, TW_UINT16 language,
                          TW_UINT16 country, const char* versionInfo, const char* manufacturer,
                          const char* productFamily, const char* productName);
int TWAIN_State();
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

// The Source Manager's file: the Windows directory, then the system directory.
constexpr const char* kManagerFileName = "TWAIN_32.DLL";
constexpr const char* kManagerEntryName = "DSM_Entry";
// Builds <directory>\<file> into out (capacity bytes), with no backslash after
// an empty directory or one that ends in a colon; false when it does not fit.
bool TWAIN_JoinPath(const char* directory, const char* file, char* out, std::size_t capacity);
