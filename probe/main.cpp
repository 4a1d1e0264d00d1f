// The application shell: the library starts before anything else runs and
// shuts down at exit; the program is its one window.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "pages/about_text.h"
#include "pages/fault_note.h"
#include "pages/hang_watch.h"
#include "platform/fault_guard.h"
#include "platform/settings.h"
#include "probe/capabilities_page.h"
#include "probe/check_driver.h"
#include "probe/probe_window.h"
#include "probe/resource_ids.h"
#include "probe/script_driver.h"
#include "probe/trace_control.h"
#include "session/twain2.h"
#include "session/twain_session.h"

namespace {

struct Application {
  Application() { TWAIN_Startup(); }
  ~Application() { TWAIN_Shutdown(); }
};

Application g_application;

// The value after an option ("--log-file PATH"), or null when it is absent.
const char* Argument(const char* name) {
  for (int i = 1; i + 1 < __argc; ++i) {
    if (std::strcmp(__argv[i], name) == 0) return __argv[i + 1];
  }
  return nullptr;
}

bool Flag(const char* name) {
  for (int i = 1; i < __argc; ++i) {
    if (std::strcmp(__argv[i], name) == 0) return true;
  }
  return false;
}

// "--script FILE" runs a script of steps through the window and exits with
// its status (0 passed, 1 failed, 2 a bad script).
const char* ScriptArgument() {
  // Without a file name it is still a scripted run, of a script that cannot be read.
  if (const char* file = Argument("--script")) return file;
  return Flag("--script") ? "" : nullptr;
}

// "--linger SECONDS" keeps a scripted run's window up after its last step.
int LingerArgument() {
  const char* seconds = Argument("--linger");
  return seconds ? std::clamp(std::atoi(seconds), 0, 60) : 0;
}

// "--trace FILE" records every triplet of the run into FILE as it is sent;
// "--trace-no-images" writes each image's size and checksum, not its pixels.
// The session ends with the run, before the library shuts down.
class RunTrace {
 public:
  // False when a trace was asked for and its file cannot be written.
  bool Begin() {
    BeginTraceSession();
    SetTraceImages(!Flag("--trace-no-images"));
    const char* path = Argument("--trace");
    if (!path) return !Flag("--trace");
    return StartTraceFile(path);
  }
  ~RunTrace() { EndTraceSession(); }
};

// Beyond the program's own behaviour, for screenshots of the page:
// "--capability NAME[:TAB]" shows a capability with a SET tab picked and
// "--drop-down" opens its GET answer.
void ShowRequestedCapability(ProbeWindow& window) {
  const char* request = Argument("--capability");
  if (!request) return;
  std::string name = request;
  std::string tab;
  if (const auto colon = name.find(':'); colon != std::string::npos) {
    tab = name.substr(colon + 1);
    name.resize(colon);
  }
  auto* page = static_cast<CapabilitiesPage*>(window.page(0));
  if (!page || !page->ShowCapability(name.c_str(), tab.c_str())) return;
  if (Flag("--drop-down")) page->DropDownGetAnswer();
}

// "--page TAB" shows that tab once the window is up and presses its GET:
// for screenshots of a page with values. "Image Info" first enables the
// Source without its dialog and waits for the image to be ready.
struct ShownPage {
  ProbeWindow* window = nullptr;
  int tab = -1;
  bool enabled = false;  // Higher is pressed once, however the Source answers
};
ShownPage g_shownPage;

int PageArgument() {
  constexpr const char* kTabs[] = {"Capabilities", "Image Info", "Layout", "Images", "Source"};
  const char* page = Argument("--page");
  for (int tab = 0; page && tab < 5; ++tab) {
    if (std::strcmp(page, kTabs[tab]) == 0) return tab;
  }
  return -1;
}

void CALLBACK ShowPageStep(HWND, UINT, UINT_PTR timer, DWORD) {
  ProbeWindow& window = *g_shownPage.window;
  const int getButton = g_shownPage.tab == 1 ? IDC_IMAGE_INFO_GET : IDC_LAYOUT_GET;
  if (g_shownPage.tab == 1 && TWAIN_State() == 4 && !g_shownPage.enabled) {
    g_shownPage.enabled = true;
    window.SendItem(IDC_DEVICE_UI, BM_SETCHECK, BST_UNCHECKED);
    TWAIN_SetUIHidden(true);
    SendMessageA(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_HIGHER, BN_CLICKED), 0);
    return;
  }
  if (g_shownPage.tab == 1 && TWAIN_State() != 6) return;
  KillTimer(nullptr, timer);
  window.SendItem(IDC_TABS, TCM_SETCURSEL, static_cast<WPARAM>(g_shownPage.tab), 0);
  window.ShowSelectedPage();
  if ((g_shownPage.tab == 1 || g_shownPage.tab == 2) && window.page(g_shownPage.tab))
    SendMessageA(window.page(g_shownPage.tab)->hwnd(), WM_COMMAND,
                 MAKEWPARAM(getButton, BN_CLICKED), 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  platform::SetSettingsLocation("Kandrith", "Vorrel");
  // "--manager PATH" binds that Source Manager file instead of searching;
  // "--twain2" makes the probe a 2.x application.
  TWAIN_SetManagerPath(Argument("--manager"));
  TWAIN_SetTwain2(Flag("--twain2"));
  // "--no-guard" leaves faults to a debugger; "--dump-dir DIR" writes a
  // minidump of each fault caught; "--hang-seconds N" is the watchdog's interval.
  platform::SetFaultGuardEnabled(!Flag("--no-guard"));
  platform::SetFaultDumpDirectory(Argument("--dump-dir"));
  if (const char* seconds = Argument("--hang-seconds"))
    TheHangSettings().hangSeconds =
        static_cast<std::uint32_t>(std::clamp(std::atoi(seconds), 1, 3600));
  platform::SetUnguardedFaultNote([](std::uint32_t code, std::uint32_t thread, const char* place) {
    LogUnguardedFault(code, thread, place);
    WriteOutTrace();
  });
  RunTrace trace;
  if (!trace.Begin()) {
    std::fprintf(stderr, "vorrel: cannot write the trace file %s\n",
                 Argument("--trace") ? Argument("--trace") : "(none named)");
    return 2;
  }
  ProbeWindow window;
  // "--check NAME" runs the conformance pass on that Source, headless.
  if (Flag("--check")) {
    const char* source = Argument("--check");
    CheckOptions options{source ? source : "", Argument("--report"),       Argument("--junit"),
                         Argument("--only"),   Argument("--suppress"),     Argument("--log-file"),
                         Flag("--with-ui"),    Argument("--stress-cycles")};
    return RunCheckedProbe(window, options, show);
  }
  if (const char* script = ScriptArgument())
    return RunScriptedProbe(window, script, Argument("--log-file"), show, LingerArgument());
  window.MirrorLogTo(Argument("--log-file"));
  if (!window.Open(show)) return 1;
  ShowRequestedCapability(window);
  // "--about" opens the About box once the window is up, for screenshots;
  // "--log-file PATH" mirrors every final log line to a file.
  if (Flag("--about"))
    PostMessageA(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), 0);
  // "--show-check" presses Check Source once the window is up, for screenshots.
  if (Flag("--show-check"))
    PostMessageA(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CHECK_SOURCE, BN_CLICKED), 0);
  if (int tab = PageArgument(); tab >= 0) {
    g_shownPage = {&window, tab, false};
    SetTimer(nullptr, 0, 300, ShowPageStep);
  }
  window.Run();
  return 0;
}
