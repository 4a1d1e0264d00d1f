// The application shell: the library starts before anything else runs and
// shuts down at exit; the program is its one window.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "platform/settings.h"
#include "probe/probe_window.h"
#include "probe/resource_ids.h"
#include "session/twain2.h"
#include "session/twain_session.h"

namespace {

struct Application {
  Application() { TWAIN_Startup(); }
  ~Application() { TWAIN_Shutdown(); }
};

Application g_application;

// Beyond the program's own behaviour: "--log-file PATH" mirrors every final
// log line to a file as it is written.
const char* LogFileArgument() {
  for (int i = 1; i + 1 < __argc; ++i) {
    if (std::strcmp(__argv[i], "--log-file") == 0) return __argv[i + 1];
  }
  return nullptr;
}

// "--manager PATH" binds that Source Manager file instead of searching;
// "--twain2" makes the probe a 2.x application.
const char* ManagerArgument() {
  for (int i = 1; i + 1 < __argc; ++i) {
    if (std::strcmp(__argv[i], "--manager") == 0) return __argv[i + 1];
  }
  return nullptr;
}

bool Twain2Argument() {
  for (int i = 1; i < __argc; ++i) {
    if (std::strcmp(__argv[i], "--twain2") == 0) return true;
  }
  return false;
}

// "--about" opens the About box once the window is up, for screenshots.
bool AboutArgument() {
  for (int i = 1; i < __argc; ++i) {
    if (std::strcmp(__argv[i], "--about") == 0) return true;
  }
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  platform::SetSettingsLocation("Kandrith", "Vorrel");
  TWAIN_SetManagerPath(ManagerArgument());
  TWAIN_SetTwain2(Twain2Argument());
  ProbeWindow window;
  window.MirrorLogTo(LogFileArgument());
  if (!window.Open(show)) return 1;
  if (AboutArgument())
    PostMessageA(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_ABOUT, BN_CLICKED), 0);
  window.Run();
  return 0;
}
