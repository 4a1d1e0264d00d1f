// What a memory transfer of the Sample Flatbed's gray chart costs in the
// real window, beside a native transfer of the same page in the same run,
// and beside the Source alone answering the same strip requests through
// the Manager with nothing of ours in between.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/ratio_line.h"
#include "bench/win/window_bench.h"
#include "caps/logged_operations.h"
#include "pages/log.h"
#include "platform/message_box.h"
#include "probe/dialog_base.h"
#include "probe/probe_window.h"
#include "probe/resource_ids.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

constexpr int kRounds = 3;

class Driver {
 public:
  explicit Driver(ProbeWindow& window) : window_(window) {}

  void Click(int id) {
    SendMessageA(window_.hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window_.hwnd(), id)));
  }
  bool PumpUntilState(int state) {
    const DWORD start = GetTickCount();
    while (TWAIN_State() != state && GetTickCount() - start < 10000) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!DialogBase::PumpOne(window_.hwnd())) return false;
      }
      Sleep(1);
    }
    return TWAIN_State() == state;
  }
  // From state 4 to 6 with the mechanism and gray negotiated.
  bool ReadyToTransfer(int mechanism) {
    if (TWAIN_State() != 4) return false;
    LoggedSetOneValue(ICAP_XFERMECH, TWTY_UINT16, mechanism);
    LoggedSetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY);
    TWAIN_SetUIHidden(true);
    Click(IDC_HIGHER);
    return PumpUntilState(6);
  }
  void BackToFour() {
    for (int i = 0; i < 6 && TWAIN_State() > 4; ++i) Click(IDC_LOWER);
  }
  // The window's transfer step, as the ladder's button runs it.
  double WindowTransfer(int mechanism) {
    if (!ReadyToTransfer(mechanism)) return -1;
    const double t = Now();
    Click(IDC_HIGHER);
    const double spent = Now() - t;
    const bool done = TWAIN_State() == 7;
    BackToFour();
    return done ? spent : -1;
  }
  // The same strip requests straight through the Manager into one buffer.
  double BareMemoryTransfer() {
    if (!ReadyToTransfer(TWSX_MEMORY)) return -1;
    TwainSession& s = TWAIN_Session();
    const double t = Now();
    TW_SETUPMEMXFER setup{};
    s.managerEntry(&s.appIdentity, &s.sourceIdentity, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET,
                   &setup);
    TW_IMAGEINFO info{};
    s.managerEntry(&s.appIdentity, &s.sourceIdentity, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    std::vector<unsigned char> buffer(setup.Preferred);
    TW_UINT16 rc = TWRC_SUCCESS;
    int strips = 0;
    while (rc == TWRC_SUCCESS && strips < 100000) {
      TW_IMAGEMEMXFER strip{};
      strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
      strip.Memory.Length = setup.Preferred;
      strip.Memory.TheMem = buffer.data();
      rc = s.managerEntry(&s.appIdentity, &s.sourceIdentity, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET,
                          &strip);
      ++strips;
    }
    const double spent = Now() - t;
    strips_ = strips;
    // The ladder's own state follows the Source's: transferred, then ended.
    TWAIN_SetState(7);
    BackToFour();
    return rc == TWRC_XFERDONE ? spent : -1;
  }
  int strips() const { return strips_; }

 private:
  ProbeWindow& window_;
  int strips_ = 0;
};

}  // namespace

int main() {
  StartBenchProcess();
  auto window = std::make_unique<ProbeWindow>();
  if (!window->Open(SW_SHOWNORMAL) || TWAIN_State() != 4) {
    std::printf("memory_transfer_bench: the Sample Flatbed did not open (state %d)\n",
                TWAIN_State());
    return 1;
  }
  // The Images page in front, as a person watching the transfer has it.
  SendDlgItemMessageA(window->hwnd(), IDC_TABS, TCM_SETCURSEL, 3, 0);
  window->ShowSelectedPage();
  Driver driver(*window);
  double memory = 1e300, native = 1e300, bare = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    const double m = driver.WindowTransfer(TWSX_MEMORY);
    const double n = driver.WindowTransfer(TWSX_NATIVE);
    const double b = driver.BareMemoryTransfer();
    if (m < 0 || n < 0 || b < 0) {
      std::printf("memory_transfer_bench: a transfer failed (state %d)\n", TWAIN_State());
      return 1;
    }
    std::printf("  round %d: memory %.1f ms, native %.1f ms, bare %.1f ms\n", round + 1, m / 1e6,
                n / 1e6, b / 1e6);
    memory = std::min(memory, m);
    native = std::min(native, n);
    bare = std::min(bare, b);
  }
  std::printf("\nA gray transfer of the Sample Flatbed's chart, best of %d rounds\n", kRounds);
  PrintRatioLine("memory (window)", memory, "native (window)", native);
  PrintRatioLine("memory (window)", memory, "bare strips, no window", bare);
  std::printf("  strips per memory transfer: %d\n", driver.strips());
  window.reset();
  TWAIN_Shutdown();
  return 0;
}
