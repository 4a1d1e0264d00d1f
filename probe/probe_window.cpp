#include "probe/probe_window.h"

#include <commctrl.h>

#include "caps/logged_operations.h"
#include "pages/about_text.h"
#include "pages/check_page.h"
#include "pages/fault_note.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "probe/about_box.h"
#include "probe/capabilities_page.h"
#include "probe/check_report_page.h"
#include "probe/image_info_page.h"
#include "probe/images_page.h"
#include "probe/layout_page.h"
#include "probe/resource_ids.h"
#include "probe/source_identity_page.h"
#include "probe/window_rect.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

constexpr UINT_PTR kTimerId = 666;
constexpr UINT kTimerPeriod = 300;
constexpr int kPictureBase = IDB_STATE0_INACTIVE;
constexpr int kLogBottomMargin = 6;

// The picture control of each state, 1 at the bottom of the ladder to 7 at the top.
constexpr int kStateControls[] = {0,          IDC_STATE1, IDC_STATE2, IDC_STATE3,
                                  IDC_STATE4, IDC_STATE5, IDC_STATE6, IDC_STATE7};

template <class P>
std::unique_ptr<Page> MakePage() {
  return std::make_unique<P>();
}

struct TabPage {
  const char* text;
  int resource;
  std::unique_ptr<Page> (*make)();
};
// Tab order; the pages are created in resource order (103, 104, 105, 106, 155).
constexpr TabPage kTabs[] = {{"Capabilities", IDD_CAPABILITIES_PAGE, MakePage<CapabilitiesPage>},
                             {"Image Info", IDD_IMAGE_INFO_PAGE, MakePage<ImageInfoPage>},
                             {"Layout", IDD_LAYOUT_PAGE, MakePage<LayoutPage>},
                             {"Images", IDD_IMAGES_PAGE, MakePage<ImagesPage>},
                             {"Source", IDD_SOURCE_PAGE, MakePage<SourceIdentityPage>}};
constexpr int kCreationOrder[] = {0, 1, 3, 2, 4};
constexpr int kImagesTab = 3;

}  // namespace

ProbeWindow::ProbeWindow() : ladder_(*this) {}

ProbeWindow::~ProbeWindow() {
  if (hwnd()) DestroyWindow(hwnd());
  for (HBITMAP picture : pictures_) {
    if (picture) DeleteObject(picture);
  }
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

bool ProbeWindow::Open(int show) {
  show_ = show;
  if (!Create(IDD_PROBE, nullptr)) return false;
  BeginWaitCursor();
  ShowWindow(hwnd(), show_);
  UpdateWindow(hwnd());
  SetTimer(hwnd(), kTimerId, kTimerPeriod, nullptr);
  watchdog_.Start(hwnd());
  ladder_.StartupClimb();
  ShowSelectedPage();
  EndWaitCursor();
  return true;
}

INT_PTR ProbeWindow::Run() {
  while (!ended_ && hwnd() && PumpOne(hwnd())) {
  }
  return result_;
}

BOOL ProbeWindow::OnInitDialog() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (std::size_t i = 0; i < pictures_.size(); ++i) {
    pictures_[i] = LoadBitmapA(instance, MAKEINTRESOURCEA(kPictureBase + static_cast<int>(i)));
  }
  for (int state = 1; state <= 7; ++state) SetStatePicture(state, false);

  TWAIN_SetAppIdentity(kVersionMajor, kVersionMinor, TWLG_USA, TWCY_USA, VersionText().c_str(),
                       "Kandrith", "Ambit Tools", kProgramName);

  char about[64] = {};
  if (LoadStringA(instance, IDS_ABOUTBOX, about, sizeof(about)) > 0) {
    HMENU systemMenu = GetSystemMenu(hwnd(), FALSE);
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about);
  }

  icon_ =
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROBE), IMAGE_ICON, 32, 32, 0));
  smallIcon_ =
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROBE), IMAGE_ICON, 16, 16, 0));
  SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  const RECT tabs = ClientRectOf(Item(IDC_TABS), hwnd());
  const RECT stateOne = ClientRectOf(Item(IDC_STATE1), hwnd());
  RECT client;
  GetClientRect(hwnd(), &client);
  const RECT logRect{tabs.left, stateOne.top, tabs.right, client.bottom - kLogBottomMargin};
  log_.Create(hwnd(), IDC_LOG_VIEW, logRect);
  if (!mirrorPath_.empty()) log_.MirrorTo(mirrorPath_.c_str());
  SetLogSink(DeliverLogText, this);
  SetMessageFilter(FilterMessage, this);

  for (int index : kCreationOrder) {
    pages_[index] = kTabs[index].make();
    if (!pages_[index]->Create(kTabs[index].resource, hwnd())) continue;
    SetWindowPos(pages_[index]->hwnd(), Item(IDC_TABS), tabs.left, tabs.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE);
  }

  ladder_.Refresh();
  return TRUE;
}

INT_PTR ProbeWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kLogFinalMessage:
    case kLogProgressMessage: {
      const char* text = reinterpret_cast<const char*>(lParam);
      if (message == kLogFinalMessage) {
        log_.WriteFinal(text);
      } else {
        log_.WriteProvisional(text);
      }
      return TRUE;
    }
    case kLogPostedMessage: {
      const std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
      if (wParam) {
        log_.WriteFinalUnmirrored(text->c_str());
      } else {
        log_.WriteProvisional(text->c_str());
      }
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kTimerId) ladder_.TimerTick();
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        ShowAboutBox();
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      End(0);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) ShowSelectedPage();
      return TRUE;
    }
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED: {
      // The Images page's picture realises its palette, unless the change came from us.
      const HWND changer = reinterpret_cast<HWND>(wParam);
      if (message == WM_PALETTECHANGED && (changer == hwnd() || IsChild(hwnd(), changer)))
        return FALSE;
      auto* images = static_cast<ImagesPage*>(pages_[kImagesTab].get());
      if (!images || !images->hwnd()) return FALSE;
      HWND view = images->view().hwnd();
      HDC dc = GetDC(view);
      const unsigned changed = images->RealizePalette(dc);
      ReleaseDC(view, dc);
      if (changed > 0) InvalidateRect(view, nullptr, FALSE);
      SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, static_cast<LONG_PTR>(changed));
      return TRUE;
    }
    case WM_PAINT:
      if (IsIconic(hwnd())) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd(), &paint);
        RECT client;
        GetClientRect(hwnd(), &client);
        DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                 (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, icon_);
        EndPaint(hwnd(), &paint);
        return TRUE;
      }
      return FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_CTLCOLORSTATIC: {
      // The margin around a centred state picture takes the colour of the
      // rectangle behind the ladder, as a bitmap filling its control would.
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      for (int state = 1; state <= 7; ++state) {
        if (kStateControls[state] == id)
          return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOWFRAME));
      }
      return FALSE;
    }
    default:
      return DialogBase::OnMessage(message, wParam, lParam);
  }
}

void ProbeWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDC_HIGHER:
      if (code == BN_CLICKED) ladder_.StepUp();
      break;
    case IDC_LOWER:
      if (code == BN_CLICKED) ladder_.StepDown();
      break;
    case IDC_SOURCE_LIST:
      if (code == CBN_SELCHANGE) ladder_.ChangeSource();
      break;
    case IDC_DEVICE_UI:
      if (code == BN_CLICKED)
        TWAIN_SetUIHidden(SendItem(IDC_DEVICE_UI, BM_GETCHECK) != BST_CHECKED);
      break;
    case IDC_ABOUT:
      if (code == BN_CLICKED) ShowAboutBox();
      break;
    case IDC_CHECK_SOURCE:
      if (code == BN_CLICKED) CheckSource();
      break;
    default:
      // Enter and Escape (OK and Cancel) do nothing.
      break;
  }
}

void ProbeWindow::OnDestroy() {
  KillTimer(hwnd(), kTimerId);
  watchdog_.Stop();
  SetLogSink(nullptr, nullptr);
  SetMessageFilter(nullptr, nullptr);
  TWAIN_UnbindManager();
}

void ProbeWindow::End(INT_PTR result) {
  if (ended_) return;
  if (ladder_.inStep()) {
    // Destroying the window unbinds the Manager, which must not happen under
    // a step still inside it (a box of the step, or a Source pumping
    // messages in a triplet): the window closes when the step returns.
    closePending_ = true;
    return;
  }
  // The way down a person would click: a scanner's driver is not left
  // enabled, and every closing line is logged (and mirrored).
  WalkDown();
  if (ended_) return;
  ended_ = true;
  result_ = result;
  DestroyWindow(hwnd());
}

bool ProbeWindow::WalkDown() {
  platform::FaultInfo fault;
  const bool returned = RunSourceGuarded(
      [this] {
        for (int state = TWAIN_State(); state > 1 && !ended_; state = TWAIN_State()) {
          ladder_.StepDown();
          if (TWAIN_State() == state) break;  // each step must move the session
        }
      },
      &fault);
  if (returned && TWAIN_State() == 1) return true;
  if (!returned) {
    LogNote("fault 0x%08x on the way out", static_cast<unsigned>(fault.code));
    LogFaultPlace(fault);
  }
  LogNote("the session stayed in state %d; the library is reset", TWAIN_State());
  // The hard reset: drops the state without sending another triplet.
  TWAIN_Shutdown();
  TWAIN_Startup();
  return false;
}

void ProbeWindow::StepFinished() {
  if (!closePending_ || ended_) return;
  closePending_ = false;
  PostMessageA(hwnd(), WM_CLOSE, 0, 0);
}

bool ProbeWindow::FilterMessage(MSG& message, void* context) {
  auto* self = static_cast<ProbeWindow*>(context);
  // platform::Message is laid out as MSG.
  return self->ladder_.SourceEvent(*reinterpret_cast<const platform::Message*>(&message));
}

void ProbeWindow::DeliverLogText(const char* text, bool final, void* context) {
  auto* self = static_cast<ProbeWindow*>(context);
  const UINT message = final ? kLogFinalMessage : kLogProgressMessage;
  const auto address = reinterpret_cast<LPARAM>(text);
  // On the window's own thread the message goes straight to the handler
  // SendMessage would reach, without the trip through the system: under Wine
  // that trip costs more per line than a whole capability scan adds of ours.
  if (GetCurrentThreadId() == self->thread_) {
    self->OnMessage(message, 0, address);
    return;
  }
  // Another thread (the watchdog, a Source's worker) must never wait for a
  // window thread that may be stuck in the Source: the mirror gets the line
  // now, the log when the window next takes its messages.
  if (final) self->log_.MirrorLine(text);
  auto* copy = new std::string(text);
  if (!PostMessageA(self->hwnd(), kLogPostedMessage, final, reinterpret_cast<LPARAM>(copy)))
    delete copy;
}

void ProbeWindow::ShowAboutBox() {
  AboutBox about;
  about.RunModal(IDD_ABOUTBOX, hwnd());
}

void ProbeWindow::CheckSource() {
  const int state = TWAIN_State();
  if (!CheckAllowedIn(state) || ladder_.inStep()) return;
  if (CheckGoesDownFrom(state) &&
      !platform::ConfirmBox(hwnd(), kCheckGoDownQuestion, kProgramCaption))
    return;
  BeginWaitCursor();
  // The log's progress line is painted as each group starts: the pass
  // takes no messages until it ends.
  const CheckResult result = RunSourceCheck(ladder_, {}, [this] { PaintLog(); });
  EndWaitCursor();
  // A close asked for during the pass is on its way.
  if (ended_ || closePending_ || !hwnd()) return;
  CheckReportPage page(result);
  page.RunModal(IDD_CHECK_REPORT, hwnd());
}

void ProbeWindow::EnableWindow() {
  ::EnableWindow(hwnd(), TRUE);
}

void ProbeWindow::EnableLadderButtons(bool higher, bool lower) {
  ::EnableWindow(Item(IDC_HIGHER), higher);
  ::EnableWindow(Item(IDC_LOWER), lower);
  // Check Source goes with the ladder: off during a step, else by state.
  ::EnableWindow(Item(IDC_CHECK_SOURCE), (higher || lower) && CheckAllowedIn(TWAIN_State()));
}

void ProbeWindow::SetLadderLabels(const char* higher, const char* lower) {
  SetItemText(IDC_HIGHER, higher);
  SetItemText(IDC_LOWER, lower);
}

void ProbeWindow::SetStatePicture(int state, bool current) {
  if (state < 1 || state > 7) return;
  HBITMAP picture =
      pictures_[(current ? IDB_STATE0_CURRENT : IDB_STATE0_INACTIVE) - kPictureBase + state];
  SendItem(kStateControls[state], STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

void ProbeWindow::ShowDeviceUiSwitch(bool visible) {
  ShowWindow(Item(IDC_DEVICE_UI), visible ? SW_SHOW : SW_HIDE);
}

void ProbeWindow::SetDeviceUiCheck(bool checked) {
  SendItem(IDC_DEVICE_UI, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ProbeWindow::ShowXferMechText(bool visible) {
  ShowWindow(Item(IDC_XFER_MECH), visible ? SW_SHOW : SW_HIDE);
}

void ProbeWindow::SetXferMechText(const char* text) {
  SetItemText(IDC_XFER_MECH, text);
}

void ProbeWindow::ClearSources() {
  SendItem(IDC_SOURCE_LIST, CB_RESETCONTENT);
}

int ProbeWindow::AddSource(const char* name) {
  const LRESULT index = SendItem(IDC_SOURCE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  return index < 0 ? -1 : static_cast<int>(index);
}

int ProbeWindow::SourceCount() {
  return static_cast<int>(SendItem(IDC_SOURCE_LIST, CB_GETCOUNT));
}

int ProbeWindow::SelectedSource() {
  const LRESULT index = SendItem(IDC_SOURCE_LIST, CB_GETCURSEL);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void ProbeWindow::SelectSource(int index) {
  SendItem(IDC_SOURCE_LIST, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string ProbeWindow::SourceText(int index) {
  const LRESULT length = SendItem(IDC_SOURCE_LIST, CB_GETLBTEXTLEN, index, 0);
  if (length < 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  SendItem(IDC_SOURCE_LIST, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void ProbeWindow::EnableSourceList(bool enabled) {
  ::EnableWindow(Item(IDC_SOURCE_LIST), enabled);
}

void ProbeWindow::BeginWaitCursor() {
  if (waitDepth_++ == 0) savedCursor_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void ProbeWindow::EndWaitCursor() {
  if (waitDepth_ > 0 && --waitDepth_ == 0) SetCursor(savedCursor_);
}

void ProbeWindow::InfoBox(const char* text) {
  platform::InfoBox(hwnd(), text, kProgramCaption);
}

void ProbeWindow::CloseWindow() {
  End(0);
}

void ProbeWindow::PagesStateChanged(int newState, int shownState) {
  for (auto& page : pages_) {
    if (page && page->hwnd()) page->StateChanged(newState, shownState);
  }
}

void ProbeWindow::EnumerateCapabilities() {
  if (pages_[0] && !skipCapabilityScan_) pages_[0]->EnumerateCapabilities();
}

bool ProbeWindow::TransferImage() {
  return pages_[kImagesTab] && pages_[kImagesTab]->hwnd() && pages_[kImagesTab]->Transfer();
}

void ProbeWindow::AppendTabs() {
  HWND tabs = Item(IDC_TABS);
  for (const TabPage& tab : kTabs) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(tab.text);
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    SendMessageA(tabs, TCM_INSERTITEMA, count, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(tabs, TCM_SETCURSEL, 0, 0);
}

void ProbeWindow::ShowSelectedPage() {
  const int selected = static_cast<int>(SendItem(IDC_TABS, TCM_GETCURSEL));
  for (int i = 0; i < static_cast<int>(pages_.size()); ++i) {
    if (pages_[i] && pages_[i]->hwnd())
      ShowWindow(pages_[i]->hwnd(), i == selected ? SW_SHOW : SW_HIDE);
  }
}
