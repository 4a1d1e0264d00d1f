#include "session/twain_session.h"

#include <cstring>

#include "platform/directories.h"
#include "platform/memory.h"
#include "platform/message_queue.h"
#include "platform/module.h"
#include "session/event_routing.h"
#include "session/triplet_calls.h"
#include "session/twain2.h"

TwainSession g_twainSession;

namespace {

// Text fields are 34 bytes; at most 32 characters are written so the last
// two bytes stay zero.
void CopyText(char (&field)[34], const char* text) {
  std::memset(field, 0, sizeof(field));
  if (text) std::strncpy(field, text, 32);
}

constexpr std::size_t kDirectoryBuffer = 128;
constexpr std::size_t kPathBuffer = 260;
constexpr std::int32_t kLibraryVersion = 267;

using DirectoryQuery = std::size_t (*)(char*, std::size_t);
struct ManagerCandidate {
  DirectoryQuery directory;
  const char* file;
};
// The Windows directory first; a 64-bit Wine keeps TWAIN_32.DLL in the
// system directory, and 64-bit Windows has only the 2.x Manager there.
constexpr ManagerCandidate kManagerCandidates[] = {
    {platform::WindowsDirectory, kManagerFileName},
    {platform::SystemDirectory, kManagerFileName},
    {platform::SystemDirectory, kManager2FileName},
};

// Binds one file if it exists, loads and exports DSM_Entry; records how it fared.
bool TryBind(const std::string& path) {
  ManagerAttempt& attempt = g_twainSession.managerAttempts.emplace_back();
  attempt.path = path;
  if (!platform::FileExists(path.c_str())) {
    attempt.outcome = ManagerOutcome::kMissing;
    return false;
  }
  platform::ModuleHandle library = platform::LoadModule(path.c_str());
  if (!library) {
    attempt.outcome = ManagerOutcome::kLoadFailed;
    attempt.error = platform::LastLoadError();
    return false;
  }
  auto entry = reinterpret_cast<DSMENTRYPROC>(platform::FindSymbol(library, kManagerEntryName));
  if (!entry) {
    platform::UnloadModule(library);
    attempt.outcome = ManagerOutcome::kNoEntry;
    return false;
  }
  attempt.outcome = ManagerOutcome::kBound;
  g_twainSession.managerLibrary = library;
  g_twainSession.managerEntry = entry;
  g_twainSession.managerFile = path;
  TWAIN_SetState(2);
  return true;
}

}  // namespace

TW_IDENTITY DefaultAppIdentity() {
  TW_IDENTITY identity{};
  identity.Version.MajorNum = 1;
  identity.Version.MinorNum = 0;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  CopyText(identity.Version.Info, "Unknown");
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 8;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(identity.Manufacturer, "Unknown");
  CopyText(identity.ProductFamily, "Unspecified");
  CopyText(identity.ProductName, "TWAIN Application");
  return identity;
}

void TWAIN_ResetSession() {
  if (g_twainSession.managerLibrary) platform::UnloadModule(g_twainSession.managerLibrary);
  if (g_twainSession.proxyWindow) platform::DestroyWindowHandle(g_twainSession.proxyWindow);
  TWAIN_DropEntryPoint();
  platform::MemFree(g_twainSession.ownXferResult);
  if (g_twainSession.releaseJpegLibrary) g_twainSession.releaseJpegLibrary();
  g_twainSession = TwainSession{};
}

int TWAIN_Startup() {
  if (++g_twainSession.startupCount == 1) {
    g_twainSession.moduleInstance = platform::ProgramModule();
    std::memset(&g_twainSession.sourceIdentity, 0, sizeof(g_twainSession.sourceIdentity));
    g_twainSession.sourceProductName[0] = '\0';
    g_twainSession.appIdentity.Id = 0;
  }
  return g_twainSession.startupCount;
}

void TWAIN_Shutdown() {
  if (g_twainSession.startupCount == 1) {
    TWAIN_SetState(1);
    TWAIN_DropEntryPoint();
    if (g_twainSession.managerLibrary) platform::UnloadModule(g_twainSession.managerLibrary);
    g_twainSession.managerLibrary = nullptr;
    g_twainSession.managerEntry = nullptr;
    if (g_twainSession.releaseJpegLibrary) g_twainSession.releaseJpegLibrary();
    g_twainSession.releaseJpegLibrary = nullptr;
    // An abandoned session has no triplet in progress, even when a fault
    // left a call without its return.
    g_twainSession.callNesting = 0;
  }
  if (g_twainSession.startupCount > 0) --g_twainSession.startupCount;
}

void TWAIN_SetAppIdentity(TW_UINT16 majorNum, TW_UINT16 minorNum, TW_UINT16 language,
                          TW_UINT16 country, const char* versionInfo, const char* manufacturer,
                          const char* productFamily, const char* productName) {
  TW_IDENTITY& app = g_twainSession.appIdentity;
  app.Id = 0;
  app.Version.MajorNum = majorNum;
  app.Version.MinorNum = minorNum;
  app.Version.Language = language;
  app.Version.Country = country;
  CopyText(app.Version.Info, versionInfo);
  CopyText(app.Manufacturer, manufacturer);
  CopyText(app.ProductFamily, productFamily);
  CopyText(app.ProductName, productName);
  app.ProtocolMajor = 1;
  app.ProtocolMinor = 8;
  app.SupportedGroups = DG_CONTROL | DG_IMAGE;
  // A 2.x application keeps its flags and protocol through every identity.
  TWAIN_SetTwain2(TWAIN_Twain2());
}

void TWAIN_SetState(int state) {
  g_twainSession.state = state;
}

bool TWAIN_JoinPath(const char* directory, const char* file, char* out, std::size_t capacity) {
  const std::size_t dirLength = std::strlen(directory);
  const bool separator = dirLength > 0 && directory[dirLength - 1] != ':';
  const std::size_t total = dirLength + (separator ? 1 : 0) + std::strlen(file);
  if (total + 1 > capacity) return false;
  std::memcpy(out, directory, dirLength);
  std::size_t at = dirLength;
  if (separator) out[at++] = '\\';
  std::strcpy(out + at, file);
  return true;
}

void TWAIN_SetManagerPath(const char* path) {
  g_twainSession.managerPathOverride = path ? path : "";
}

const std::string& TWAIN_ManagerFile() {
  return g_twainSession.managerFile;
}

const std::vector<ManagerAttempt>& TWAIN_ManagerAttempts() {
  return g_twainSession.managerAttempts;
}

bool TWAIN_BindManager() {
  if (g_twainSession.state >= 2) return true;
  g_twainSession.managerAttempts.clear();
  g_twainSession.managerFile.clear();
  if (!g_twainSession.managerPathOverride.empty()) {
    if (TryBind(g_twainSession.managerPathOverride)) return true;
  } else {
    for (const ManagerCandidate& candidate : kManagerCandidates) {
      char directory[kDirectoryBuffer];
      char path[kPathBuffer];
      if (candidate.directory(directory, sizeof(directory)) == 0) continue;
      if (!TWAIN_JoinPath(directory, candidate.file, path, sizeof(path))) continue;
      if (TryBind(path)) return true;
    }
  }
  g_twainSession.managerLibrary = nullptr;
  g_twainSession.managerEntry = nullptr;
  return false;
}

bool TWAIN_ManagerOpen(platform::WindowHandle window) {
  g_twainSession.parentWindow = TWAIN_ParentWindow(window);
  if (g_twainSession.state < 3 && TWAIN_BindManager()) {
    // DF_DSM2 is the Manager's answer to this call, not ours to send.
    g_twainSession.appIdentity.SupportedGroups &= ~DF_DSM2;
    if (TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &g_twainSession.parentWindow)) {
      TWAIN_AskEntryPoint();
    }
  }
  return g_twainSession.state >= 3;
}

bool TWAIN_SourceOpenDefault() {
  if (g_twainSession.state >= 4) return g_twainSession.state == 4;
  if (g_twainSession.state < 3 && !TWAIN_ManagerOpen(nullptr)) return false;
  std::memset(&g_twainSession.scratchIdentity, 0, sizeof(g_twainSession.scratchIdentity));
  TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &g_twainSession.scratchIdentity);
  return g_twainSession.state == 4;
}

bool TWAIN_SourceEnable(platform::WindowHandle window) {
  if (g_twainSession.state <= 3 && !TWAIN_SourceOpenDefault()) return false;
  g_twainSession.userInterface.ShowUI = g_twainSession.hideDeviceUI ? TW_FALSE : TW_TRUE;
  g_twainSession.userInterface.hParent = TWAIN_ParentWindow(window);
  TWAIN_DS(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &g_twainSession.userInterface);
  return g_twainSession.state == 5;
}

bool TWAIN_SourceDisable() {
  if (g_twainSession.state >= 5 &&
      TWAIN_DS(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &g_twainSession.userInterface)) {
    TWAIN_DrainMessages();
  }
  return g_twainSession.state < 5;
}

bool TWAIN_SourceClose() {
  g_twainSession.lastResultCode = TWRC_SUCCESS;
  if (g_twainSession.state == 4) {
    TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &g_twainSession.sourceIdentity);
  }
  return g_twainSession.state <= 3;
}

bool TWAIN_ManagerClose(platform::WindowHandle window) {
  TWAIN_DrainMessages();
  g_twainSession.parentWindow = TWAIN_ParentWindow(window);
  g_twainSession.lastResultCode = TWRC_SUCCESS;
  if (TWAIN_SourceClose()) {
    TWAIN_ManagerCall(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &g_twainSession.parentWindow);
  }
  return g_twainSession.state <= 2;
}

bool TWAIN_UnbindManager() {
  TWAIN_ManagerClose(nullptr);
  if (g_twainSession.proxyWindow) {
    platform::DestroyWindowHandle(g_twainSession.proxyWindow);
    g_twainSession.proxyWindow = nullptr;
  }
  if (g_twainSession.state == 2) {
    platform::UnloadModule(g_twainSession.managerLibrary);
    g_twainSession.managerLibrary = nullptr;
    g_twainSession.managerEntry = nullptr;
    TWAIN_SetState(1);
  }
  return g_twainSession.state == 1;
}

bool TWAIN_XferEnd() {
  if (g_twainSession.state == 7) {
    TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &g_twainSession.pendingXfers);
  }
  return g_twainSession.state < 7;
}

bool TWAIN_XferAbortAll() {
  TWAIN_XferEnd();
  if (g_twainSession.state == 6) {
    TWAIN_DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &g_twainSession.pendingXfers);
    TWAIN_DrainMessages();
  }
  return g_twainSession.state < 6;
}

int TWAIN_SetUIHidden(bool hidden) {
  g_twainSession.hideDeviceUI = hidden;
  return hidden ? 1 : 0;
}

int TWAIN_UIHidden() {
  return g_twainSession.hideDeviceUI ? 1 : 0;
}

const char* TWAIN_SourceProductName() {
  return g_twainSession.sourceProductName;
}

int TWAIN_CopySourceIdentity(TW_IDENTITY* destination) {
  if (destination) std::memcpy(destination, &g_twainSession.sourceIdentity, sizeof(TW_IDENTITY));
  return static_cast<int>(sizeof(TW_IDENTITY));
}

int TWAIN_LibraryVersion() {
  return kLibraryVersion;
}
