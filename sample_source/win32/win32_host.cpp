#include "sample_source/win32/win32_host.h"

#include "platform/memory.h"
#include "platform/message_queue.h"
#include "sample_source/sample_source.h"

namespace sample {

std::string EnvironmentText(const char* name) {
  char value[4096];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

std::string ReadSmallFile(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[1024];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0 && text.size() < 65536) {
      text.append(chunk, got);
    }
    std::fclose(file);
  }
  return text;
}

std::string ModuleFolder(HINSTANCE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return {};
  std::string folder(path, length);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder;
}

void AppendTraceLine(const std::string& path, const std::string& line) {
  if (std::FILE* file = std::fopen(path.c_str(), "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}
namespace {

constexpr char kDialogClass[] = "VorrelSampleScanDialog";
constexpr int kScanButton = IDOK;
constexpr int kCancelButton = IDCANCEL;
// A Source that pumps stops after this many messages, so a queue that keeps
// refilling cannot hold it for ever.
constexpr int kPumpLimit = 256;

// Wine's Manager never sends DAT_ENTRYPOINT: find the Manager already loaded
// in the process, the 1.x one first.
DSMENTRYPROC LoadedManagerEntry() {
  for (const char* name : {"twain_32.dll", "TWAINDSM.dll"}) {
    HMODULE manager = GetModuleHandleA(name);
    if (!manager) continue;
    FARPROC entry = GetProcAddress(manager, "DSM_Entry");
    if (entry) return reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void*>(entry));
  }
  return nullptr;
}

LRESULT CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* source = reinterpret_cast<SampleSource*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (source && message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == kScanButton) source->OnUserScan();
    if (LOWORD(wParam) == kCancelButton) source->OnUserCancel();
    return 0;
  }
  if (source && message == WM_CLOSE) {
    source->OnUserCancel();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND AddChild(HWND parent, HINSTANCE module, const char* cls, const char* text, DWORD style, int id,
              RECT box) {
  HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, box.left, box.top,
                               box.right - box.left, box.bottom - box.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  return child;
}

}  // namespace

Win32Host::Win32Host(HINSTANCE module, const TW_ENTRYPOINT* entryPoint) : module_(module) {
  if (entryPoint && entryPoint->DSM_Entry) managerEntry_ = entryPoint->DSM_Entry;
}

Win32Host::~Win32Host() {
  CloseScanDialog();
  if (bitmapDc_) {
    SelectObject(bitmapDc_, firstBitmap_);
    DeleteDC(bitmapDc_);
  }
}

bool Win32Host::NotifyManager(TW_IDENTITY& source, TW_IDENTITY& application, TW_UINT16 msg) {
  DSMENTRYPROC entry = managerEntry_ ? managerEntry_ : LoadedManagerEntry();
  if (!entry) return false;
  return entry(&source, &application, DG_CONTROL, DAT_NULL, msg, nullptr) == TWRC_SUCCESS;
}

void Win32Host::WakeApplication(platform::WindowHandle parent) {
  HWND window = static_cast<HWND>(parent);
  // Without a window of the application, the thread's queue itself.
  PostMessageA(IsWindow(window) ? window : nullptr, WM_NULL, 0, 0);
}

void Win32Host::ShowScanDialog(SampleSource& source, platform::WindowHandle parent) {
  CloseScanDialog();
  WNDCLASSA cls{};
  if (!GetClassInfoA(module_, kDialogClass, &cls)) {
    cls.lpfnWndProc = DialogProc;
    cls.hInstance = module_;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    cls.lpszClassName = kDialogClass;
    RegisterClassA(&cls);
  }
  HWND owner = IsWindow(static_cast<HWND>(parent)) ? static_cast<HWND>(parent) : nullptr;
  constexpr int kWidth = 320, kHeight = 140;
  dialog_ = CreateWindowExA(WS_EX_DLGMODALFRAME, kDialogClass, source.identity().ProductName,
                            WS_POPUP | WS_CAPTION | WS_SYSMENU,
                            (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2, kWidth, kHeight, owner,
                            nullptr, module_, nullptr);
  if (!dialog_) return;
  SetWindowLongPtrA(dialog_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&source));
  AddChild(dialog_, module_, "STATIC", "The test chart lies on the glass. Scan it?", SS_LEFT, -1,
           {12, 12, 300, 40});
  AddChild(dialog_, module_, "BUTTON", "Scan", BS_DEFPUSHBUTTON | WS_TABSTOP, kScanButton,
           {120, 60, 200, 86});
  AddChild(dialog_, module_, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, kCancelButton,
           {210, 60, 290, 86});
  ShowWindow(dialog_, SW_SHOW);
}

void Win32Host::CloseScanDialog() {
  if (!dialog_) return;
  HWND dialog = dialog_;
  dialog_ = nullptr;
  SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
  DestroyWindow(dialog);
  // The class names this DLL's code, and the Manager may unload the DLL.
  UnregisterClassA(kDialogClass, module_);
}

bool Win32Host::TakeDialogMessage(const void* message) {
  return dialog_ && IsDialogMessageA(dialog_, const_cast<MSG*>(static_cast<const MSG*>(message)));
}

void Win32Host::PumpMessages() {
  platform::Message message;
  for (int i = 0; i < kPumpLimit && platform::PeekRemoveMessage(message); ++i) {
    if (message.message == platform::kQuitMessage) {
      platform::PostQuit(static_cast<int>(message.wParam));
      return;
    }
    platform::TranslateDispatch(message);
  }
}

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
[[gnu::noinline]] int Recurse(int depth) {
  volatile char room[4096];
  room[0] = static_cast<char>(depth);
  return Recurse(depth + 1) + room[0];
}
#pragma GCC diagnostic pop

DWORD WINAPI WriteThroughNull(void*) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

}  // namespace

void Win32Host::Misbehave(Misbehaviour m, std::uint32_t arg) {
  switch (m) {
    case Misbehaviour::kHandledFault: {
      // Each of these faults inside the system's own handler and says "bad".
      auto* bogus = reinterpret_cast<void*>(0x10);
      volatile BOOL bad = IsBadReadPtr(bogus, 4) && IsBadWritePtr(bogus, 4);
      volatile void* locked = GlobalLock(reinterpret_cast<HGLOBAL>(0x10));
      (void)bad;
      (void)locked;
      break;
    }
    case Misbehaviour::kRaiseException:
      RaiseException(arg, 0, 0, nullptr);
      break;
    case Misbehaviour::kCxxThrow: {
      // What an MSVC-built Source's `throw` raises: noncontinuable, with
      // the magic number first.
      const ULONG_PTR parameters[3] = {0x19930520, 0, 0};
      RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, parameters);
      break;
    }
    case Misbehaviour::kStackOverflow:
      Recurse(0);
      break;
    case Misbehaviour::kFpOverflow: {
      unsigned mxcsr;
      asm volatile("stmxcsr %0" : "=m"(mxcsr));
      mxcsr &= ~0x0E80u;  // overflow, zero divide, invalid and underflow unmasked
      asm volatile("ldmxcsr %0" : : "m"(mxcsr));
      volatile double big = 1e300;
      volatile double product = big * big;
      (void)product;
      break;
    }
    case Misbehaviour::kThreadFault: {
      HANDLE thread = CreateThread(nullptr, 0, WriteThroughNull, nullptr, 0, nullptr);
      if (thread) {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
      }
      break;
    }
    case Misbehaviour::kHang:
      Sleep(arg * 1000u);
      break;
    default:
      break;
  }
}

std::string Win32Host::TransferDirectory() {
  char path[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof(path), path);
  if (length == 0 || length >= sizeof(path)) return ".\\";
  return path;
}

// Our own DIB, so its header is trusted.
platform::MemoryHandle Win32Host::MakeGdiBitmap(platform::MemoryHandle dib) {
  platform::MemLockGuard lock(dib);
  if (!lock) return nullptr;
  const auto* info = static_cast<const BITMAPINFO*>(lock.data());
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const DWORD colours = header.biBitCount > 8 ? 0
                        : header.biClrUsed    ? header.biClrUsed
                                              : DWORD{1} << header.biBitCount;
  const auto* bits = static_cast<const BYTE*>(lock.data()) + header.biSize + 4 * colours;
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &header, CBM_INIT, bits, info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (!bitmap) return nullptr;
  if (!bitmapDc_) bitmapDc_ = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(bitmapDc_, bitmap);
  if (!firstBitmap_) firstBitmap_ = previous;
  return bitmap;
}

}  // namespace sample
