// A plain TWAIN application, as small as one can be: opens the Source
// Manager, finds a Source by name with MSG_GETFIRST / MSG_GETNEXT, enables
// it without its dialog, takes one native image and writes it as a BMP file.
//   plain_twain_client.exe MANAGER.DLL "SOURCE NAME" OUT.bmp
// Exit status 0 when the file was written; else a line on stderr says why.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "twain/twain.h"

namespace {

DSMENTRYPROC g_entry = nullptr;
TW_IDENTITY g_app{};

TW_UINT16 Call(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return g_entry(&g_app, dest, dg, dat, msg, data);
}

int Fail(const char* what) {
  std::fprintf(stderr, "plain_twain_client: %s\n", what);
  return 1;
}

// The packed bitmap's bytes as its header lays them out, bounded by the block.
bool WriteBmp(HGLOBAL image, const char* path) {
  const SIZE_T blockSize = GlobalSize(image);
  const auto* dib = static_cast<const BYTE*>(GlobalLock(image));
  if (!dib || blockSize < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib, sizeof(header));
  const DWORD colours =
      header.biClrUsed ? header.biClrUsed : (header.biBitCount <= 8 ? 1u << header.biBitCount : 0);
  const SIZE_T row = ((SIZE_T(header.biWidth) * header.biBitCount + 31) / 32) * 4;
  const SIZE_T height = header.biHeight < 0 ? SIZE_T(-header.biHeight) : SIZE_T(header.biHeight);
  const SIZE_T offset = header.biSize + colours * 4;
  SIZE_T size = offset + row * height;
  if (size > blockSize) size = blockSize;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfSize = DWORD(sizeof(file) + size);
  file.bfOffBits = DWORD(sizeof(file) + offset);
  bool written = false;
  if (std::FILE* out = std::fopen(path, "wb")) {
    written =
        std::fwrite(&file, sizeof(file), 1, out) == 1 && std::fwrite(dib, 1, size, out) == size;
    written = std::fclose(out) == 0 && written;
  }
  GlobalUnlock(image);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: plain_twain_client MANAGER.DLL \"SOURCE NAME\" OUT.bmp");
  HMODULE manager = LoadLibraryA(argv[1]);
  if (!manager) return Fail("cannot load the Source Manager");
  g_entry =
      reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(GetProcAddress(manager, "DSM_Entry")));
  if (!g_entry) return Fail("the Manager exports no DSM_Entry");
  HWND window = CreateWindowA("STATIC", "plain client", 0, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);

  g_app.Version.MajorNum = 1;
  g_app.Version.Language = TWLG_USA;
  g_app.Version.Country = TWCY_USA;
  std::strcpy(g_app.Version.Info, "plain client");
  g_app.ProtocolMajor = 1;
  g_app.ProtocolMinor = 9;
  g_app.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strcpy(g_app.Manufacturer, "Kandrith");
  std::strcpy(g_app.ProductFamily, "Vorrel tests");
  std::strcpy(g_app.ProductName, "Plain TWAIN client");
  if (Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window) != TWRC_SUCCESS)
    return Fail("MSG_OPENDSM failed");

  TW_IDENTITY source{};
  bool found = false;
  for (TW_UINT16 rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source);
       rc == TWRC_SUCCESS; rc = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &source)) {
    if (std::strncmp(source.ProductName, argv[2], sizeof(source.ProductName)) == 0) {
      found = true;
      break;
    }
  }
  if (!found) return Fail("no Source of that name is listed");
  if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source) != TWRC_SUCCESS)
    return Fail("MSG_OPENDS failed");

  TW_USERINTERFACE ui{TW_FALSE, TW_FALSE, window};
  if (Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS)
    return Fail("MSG_ENABLEDS failed");
  // Every message goes to the Source first, until it says a transfer is ready.
  SetTimer(window, 1, 30000, nullptr);
  bool ready = false;
  MSG message;
  while (!ready && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == window) break;
    TW_EVENT event{&message, MSG_NULL};
    if (Call(&source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT) {
      ready = event.TWMessage == MSG_XFERREADY;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (!ready) return Fail("no MSG_XFERREADY within 30 s");

  TW_HANDLE image = nullptr;
  if (Call(&source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image) != TWRC_XFERDONE || !image)
    return Fail("the native transfer failed");
  const bool written = WriteBmp(static_cast<HGLOBAL>(image), argv[3]);
  GlobalFree(image);
  TW_PENDINGXFERS pending{};
  Call(&source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  if (pending.Count != 0) Call(&source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
  Call(&source, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
  Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window);
  FreeLibrary(manager);
  return written ? 0 : Fail("cannot write the file");
}
