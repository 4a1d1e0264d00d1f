// A small 2.x Source Manager of our own for the Windows tests. It answers
// the 2.x triplets (DF_DSM2 at MSG_OPENDSM, DAT_ENTRYPOINT with counted
// memory functions, DAT_CALLBACK) and routes every other triplet to one
// Source file, the installed Sample Source unless the environment names one. Our Sample Source is
// a 1.x Source; the double lists it with DF_DS2 and hands it DAT_ENTRYPOINT so the application's
// callback path runs end to end.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "twain/twain.h"

namespace {

using DsEntryProc = TW_UINT16(TW_CALLINGSTYLE*)(TW_IDENTITY*, TW_UINT32, TW_UINT16, TW_UINT16,
                                                TW_MEMREF);

struct Double {
  HMODULE source = nullptr;
  DsEntryProc dsEntry = nullptr;
  TW_IDENTITY identity{};
  HWND parent = nullptr;
  DSMENTRYPROC callback = nullptr;
  TW_UINT16 pending = MSG_NULL;
  TW_UINT16 condition = TWCC_SUCCESS;
  // Allocations, frees of those, locks, unlocks, and frees of blocks the
  // Source allocated itself (a 1.x Source's containers, freed through us).
  LONG calls[5] = {};
  std::vector<TW_HANDLE> allocated;
};
Double g;

TW_HANDLE TW_CALLINGSTYLE Allocate(TW_UINT32 size) {
  InterlockedIncrement(&g.calls[0]);
  TW_HANDLE block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (block) g.allocated.push_back(block);
  return block;
}
void TW_CALLINGSTYLE Free(TW_HANDLE block) {
  const auto ours = std::find(g.allocated.begin(), g.allocated.end(), block);
  if (ours != g.allocated.end()) {
    g.allocated.erase(ours);
    InterlockedIncrement(&g.calls[1]);
  } else {
    InterlockedIncrement(&g.calls[4]);
  }
  GlobalFree(block);
}
TW_MEMREF TW_CALLINGSTYLE Lock(TW_HANDLE block) {
  InterlockedIncrement(&g.calls[2]);
  return GlobalLock(block);
}
void TW_CALLINGSTYLE Unlock(TW_HANDLE block) {
  InterlockedIncrement(&g.calls[3]);
  GlobalUnlock(block);
}

TW_UINT16 TW_CALLINGSTYLE Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                                TW_UINT16 msg, TW_MEMREF data);

TW_ENTRYPOINT EntryPoint() {
  return TW_ENTRYPOINT{sizeof(TW_ENTRYPOINT), Entry, Allocate, Free, Lock, Unlock};
}

TW_UINT16 Fail(TW_UINT16 cc) {
  g.condition = cc;
  return TWRC_FAILURE;
}

// The Source file named by VORREL_DOUBLE_SOURCE, else the installed Sample
// Source; listed, as a 2.x Manager lists a file, by its first identity, Id 1.
bool LoadSource(TW_IDENTITY* application) {
  if (g.dsEntry) return true;
  char path[MAX_PATH];
  const DWORD named = GetEnvironmentVariableA("VORREL_DOUBLE_SOURCE", path, MAX_PATH);
  if (named == 0 || named >= MAX_PATH) {
    const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 20 > MAX_PATH) return false;
    std::strcat(path, "\\twain_64\\sane.ds");
  }
  g.source = LoadLibraryA(path);
  if (!g.source) return false;
  g.dsEntry =
      reinterpret_cast<DsEntryProc>(reinterpret_cast<void*>(GetProcAddress(g.source, "DS_Entry")));
  if (!g.dsEntry) return false;
  TW_IDENTITY identity{};
  identity.Id = 1;  // asked with the Id it assigns, as TWAINDSM.DLL does
  if (g.dsEntry(application, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity) != TWRC_SUCCESS)
    return false;
  g.identity = identity;
  g.identity.Id = 1;
  g.identity.SupportedGroups |= DF_DS2;
  return true;
}

TW_UINT16 ToManager(TW_IDENTITY* origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dat == DAT_STATUS && data) {
    static_cast<TW_STATUS*>(data)->ConditionCode = g.condition;
    return TWRC_SUCCESS;
  }
  g.condition = TWCC_SUCCESS;
  if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
    if (origin->Id == 0) origin->Id = 1;
    origin->SupportedGroups |= DF_DSM2;
    g.parent = data ? *static_cast<HWND*>(data) : nullptr;
    return TWRC_SUCCESS;
  }
  if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) return TWRC_SUCCESS;
  if (dat == DAT_ENTRYPOINT && msg == MSG_GET) {
    if (!(origin->SupportedGroups & DF_APP2)) return Fail(TWCC_BADPROTOCOL);
    if (!data || static_cast<TW_ENTRYPOINT*>(data)->Size < sizeof(TW_ENTRYPOINT))
      return Fail(TWCC_BADVALUE);
    *static_cast<TW_ENTRYPOINT*>(data) = EntryPoint();
    return TWRC_SUCCESS;
  }
  if (dat != DAT_IDENTITY || !data) return Fail(TWCC_BADPROTOCOL);
  auto* identity = static_cast<TW_IDENTITY*>(data);
  switch (msg) {
    case MSG_GETFIRST:
    case MSG_GETDEFAULT:
      if (!LoadSource(origin)) return Fail(TWCC_NODS);
      *identity = g.identity;
      return TWRC_SUCCESS;
    case MSG_GETNEXT:
      return TWRC_ENDOFLIST;
    case MSG_OPENDS: {
      if (!LoadSource(origin)) return Fail(TWCC_NODS);
      TW_ENTRYPOINT entry = EntryPoint();
      g.dsEntry(origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry);
      *identity = g.identity;
      const TW_UINT16 rc = g.dsEntry(origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, identity);
      identity->SupportedGroups |= DF_DS2;
      return rc == TWRC_SUCCESS ? rc : Fail(TWCC_OPERATIONERROR);
    }
    case MSG_CLOSEDS:
      g.callback = nullptr;
      return g.dsEntry ? g.dsEntry(origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, identity)
                       : Fail(TWCC_SEQERROR);
    default:
      return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 TW_CALLINGSTYLE Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat,
                                TW_UINT16 msg, TW_MEMREF data) {
  if (!origin) return TWRC_FAILURE;
  if (!dest) return ToManager(origin, dat, msg, data);
  // The Source reports an event: by callback when one is registered, else
  // through the application's queue and MSG_PROCESSEVENT.
  if (dg == DG_CONTROL && dat == DAT_NULL) {
    if (g.callback) return g.callback(origin, dest, DG_CONTROL, DAT_NULL, msg, nullptr);
    g.pending = msg;
    PostMessageA(g.parent, WM_NULL, 0, 0);
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_CALLBACK && msg == MSG_REGISTER_CALLBACK) {
    if (!(origin->SupportedGroups & DF_APP2) || !data) return Fail(TWCC_BADPROTOCOL);
    g.callback = reinterpret_cast<DSMENTRYPROC>(static_cast<TW_CALLBACK*>(data)->CallBackProc);
    return TWRC_SUCCESS;
  }
  if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT && g.pending != MSG_NULL &&
      data) {
    static_cast<TW_EVENT*>(data)->TWMessage = g.pending;
    g.pending = MSG_NULL;
    return TWRC_DSEVENT;
  }
  if (!g.dsEntry || dest->Id != g.identity.Id) return Fail(TWCC_BADDEST);
  return g.dsEntry(origin, dg, dat, msg, data);
}

}  // namespace

extern "C" {

__declspec(dllexport) TW_UINT16 TW_CALLINGSTYLE
    DSM_Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
              TW_MEMREF data) {
  return Entry(origin, dest, dg, dat, msg, data);
}

// Calls of the memory functions so far: allocations, frees of those, locks,
// unlocks, frees of blocks allocated elsewhere.
__declspec(dllexport) void DoubleMemoryCalls(LONG* out) {
  for (int i = 0; i < 5; ++i) out[i] = g.calls[i];
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH && g.source) FreeLibrary(g.source);
  return TRUE;
}
}
