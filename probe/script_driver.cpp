#include "probe/script_driver.h"

#include <algorithm>
#include <cstdio>

#include <commctrl.h>

#include "caps/logged_operations.h"
#include "pages/fault_note.h"
#include "pages/hang_watch.h"
#include "pages/log.h"
#include "platform/fault_guard.h"
#include "platform/message_box.h"
#include "probe/capabilities_page.h"
#include "probe/image_saving.h"
#include "probe/images_page.h"
#include "probe/resource_ids.h"
#include "session/twain_session.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"

namespace {

// Messages handled before the clock is read again, so a message that keeps
// coming back cannot hold a wait past its limit.
constexpr int kMessagesPerLook = 256;
// The pages' places in the tab strip.
constexpr int kCapabilitiesTab = 0;
constexpr int kImageInfoTab = 1;
constexpr int kLayoutTab = 2;
constexpr int kImagesTab = 3;

constexpr const char* kExitStatusNote = "Exit status %d";

struct FileSink {
  std::FILE* file;
};

void WriteToFile(const char* text, bool final, void* context) {
  auto* sink = static_cast<FileSink*>(context);
  if (!final || !sink->file) return;
  std::fputs(text, sink->file);
  std::fputs("\r\n", sink->file);
}

// A bad script never opens the window; its errors go where the log would
// have gone, and to the standard error stream for a CI job's output.
void ReportScriptErrors(const char* scriptPath, const char* logPath,
                        const std::vector<ScriptError>& errors) {
  FileSink sink{logPath ? std::fopen(logPath, "wb") : nullptr};
  SetLogSink(WriteToFile, &sink);
  for (const ScriptError& error : errors) {
    const std::string text = ScriptErrorText(scriptPath, error);
    LogNote("%s", text.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  LogNote("Script not run");
  LogNote(kExitStatusNote, kScriptBad);
  SetLogSink(nullptr, nullptr);
  if (sink.file) std::fclose(sink.file);
}

}  // namespace

bool ScriptDriver::Pump(std::uint32_t milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG message;
    for (int handled = 0;
         handled < kMessagesPerLook && PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
         ++handled) {
      if (window_.ended() || !DialogBase::PumpOne(window_.hwnd())) return false;
    }
    if (window_.ended()) return false;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

void ScriptDriver::ClickDeviceUi(bool checked) {
  window_.SendItem(IDC_DEVICE_UI, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
  SendMessageA(window_.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_DEVICE_UI, BN_CLICKED),
               reinterpret_cast<LPARAM>(window_.Item(IDC_DEVICE_UI)));
}

namespace {

CapabilitiesPage* CapabilitiesPageOf(ProbeWindow& window) {
  return dynamic_cast<CapabilitiesPage*>(window.page(kCapabilitiesTab));
}

// "Save Report..." of the capability list's menu, offered once the list is filled.
bool SaveReport(ProbeWindow& window, const ScriptStep& step, std::string& why) {
  CapabilitiesPage* page = CapabilitiesPageOf(window);
  if (!page || !page->hwnd()) {
    why = "the window has no Capabilities page";
    return false;
  }
  if (page->SendItem(IDC_CAP_LIST, LB_GETCOUNT) <= 0) {
    why = "no capabilities are listed";
    return false;
  }
  if (!page->SaveReport(step.name.c_str())) {
    why = "the report could not be saved to " + step.name;
    return false;
  }
  LogNote("report saved to %s", step.name.c_str());
  return true;
}

ImagesPage* ImagesPageOf(ProbeWindow& window) {
  return dynamic_cast<ImagesPage*>(window.page(kImagesTab));
}

// "Save Image..." of the picture's menu, with the file name the script gives.
bool SaveImage(ProbeWindow& window, const ScriptStep& step, std::string& why) {
  ImagesPage* page = ImagesPageOf(window);
  const DibHandle image = page ? page->image().Handle() : nullptr;
  if (!image) {
    why = "the Images page shows no image";
    return false;
  }
  if (!SaveImageFile(step.name.c_str(), image)) {
    why = "the image could not be saved to " + step.name;
    return false;
  }
  LogNote("image saved to %s", step.name.c_str());
  return true;
}

// A press of one of a page's buttons, with the page's tab picked first as a
// person would; held when the triplet it sent succeeded.
bool PressPageButton(ProbeWindow& window, int tab, int button, std::string& why) {
  Page* page = window.page(tab);
  if (!page || !page->hwnd()) {
    why = "the window has no such page";
    return false;
  }
  window.SendItem(IDC_TABS, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
  window.ShowSelectedPage();
  HWND control = page->Item(button);
  if (!control || !IsWindowEnabled(control)) {
    why = FormatText("the page's button is disabled in state %d", TWAIN_State());
    return false;
  }
  SendMessageA(page->hwnd(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  if (LastResultText() != ResultCodeName(TWRC_SUCCESS)) {
    why = "the Source answered " + LastResultText();
    return false;
  }
  return true;
}

bool LayoutGet(ProbeWindow& window, const ScriptStep&, std::string& why) {
  return PressPageButton(window, kLayoutTab, IDC_LAYOUT_GET, why);
}
bool LayoutGetDefault(ProbeWindow& window, const ScriptStep&, std::string& why) {
  return PressPageButton(window, kLayoutTab, IDC_LAYOUT_GETDEFAULT, why);
}
bool LayoutReset(ProbeWindow& window, const ScriptStep&, std::string& why) {
  return PressPageButton(window, kLayoutTab, IDC_LAYOUT_RESET, why);
}

// The frame's four fields are typed in, the number fields kept as they are.
bool LayoutSet(ProbeWindow& window, const ScriptStep& step, std::string& why) {
  Page* page = window.page(kLayoutTab);
  if (page && page->hwnd()) {
    for (int i = 0; i < 4; ++i) {
      page->SetItemText(IDC_LAYOUT_LEFT + i, ShortNumberText(step.frame[i]).c_str());
    }
  }
  return PressPageButton(window, kLayoutTab, IDC_LAYOUT_SET, why);
}

bool ImageInfo(ProbeWindow& window, const ScriptStep&, std::string& why) {
  return PressPageButton(window, kImageInfoTab, IDC_IMAGE_INFO_GET, why);
}

// The page steps this version builds; the transfer itself is Higher in
// state 6, which the Images page carries out.
struct PageRoute {
  StepWord word;
  bool (*run)(ProbeWindow& window, const ScriptStep& step, std::string& why);
};

constexpr PageRoute kPageRoutes[] = {
    {StepWord::kSaveReport, SaveReport},
    {StepWord::kTransfer, nullptr},
    {StepWord::kSaveImage, SaveImage},
    {StepWord::kLayoutGet, LayoutGet},
    {StepWord::kLayoutGetDefault, LayoutGetDefault},
    {StepWord::kLayoutSet, LayoutSet},
    {StepWord::kLayoutReset, LayoutReset},
    {StepWord::kImageInfo, ImageInfo},
};

const PageRoute* RouteOf(StepWord word) {
  for (const PageRoute& route : kPageRoutes) {
    if (route.word == word) return &route;
  }
  return nullptr;
}

}  // namespace

bool ScriptDriver::Builds(StepWord word) {
  return RouteOf(word) != nullptr;
}

bool ScriptDriver::PageStep(const ScriptStep& step, std::string& why) {
  const PageRoute* route = RouteOf(step.word);
  if (!route) {
    why = "'" + StepWordText(step.word) + "' is not built in this version";
    return false;
  }
  if (!route->run) {
    why = "'" + StepWordText(step.word) + "' is not a page's step";
    return false;
  }
  return route->run(window_, step, why);
}

bool ScriptDriver::LastImage(int& width, int& height, int& depth) {
  ImagesPage* page = ImagesPageOf(window_);
  // A bitmap the page refused to show is no image to measure.
  if (!page || !page->image().Handle() || page->image().Check() != DibCheck::kOk) return false;
  width = page->image().Width();
  height = page->image().Height();
  depth = page->image().Depth();
  return true;
}

void ScriptDriver::Finish() {
  // The unbind alone cannot close an enabled Source.
  window_.WalkDown();
  if (!window_.ended()) window_.CloseWindow();
}

int RunScriptedProbe(ProbeWindow& window, const char* scriptPath, const char* logPath, int show,
                     int lingerSeconds) {
  const Script script = ReadScriptFile(scriptPath);
  ScriptDriver driver(window);
  std::vector<ScriptError> errors = script.errors;
  for (ScriptError& error : UnbuiltSteps(script, driver)) errors.push_back(std::move(error));
  std::stable_sort(errors.begin(), errors.end(),
                   [](const ScriptError& a, const ScriptError& b) { return a.line < b.line; });
  if (!errors.empty()) {
    ReportScriptErrors(scriptPath, logPath, errors);
    return kScriptBad;
  }
  // Nobody is there to press OK: boxes become log notes, and a Source that
  // does not return ends the run instead of asking.
  platform::CaptureMessageBoxes(true);
  TheHangSettings().scripted = true;
  window.MirrorLogTo(logPath);
  if (!window.Open(show)) return kScriptFailed;
  const int status = RunScript(script, driver);
  LogNote(kExitStatusNote, status);
  if (lingerSeconds > 0) driver.Pump(static_cast<std::uint32_t>(lingerSeconds) * 1000u);
  driver.Finish();
  return status;
}
