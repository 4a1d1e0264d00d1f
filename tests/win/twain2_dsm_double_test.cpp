// The probe as a 2.x application against our own 2.x Manager double: the
// entry point's memory functions carry the blocks, the Source's event comes
// by callback and climbs to state 6, and the ladder walks back down.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pages/log.h"
#include "platform/memory.h"
#include "probe/probe_window.h"
#include "probe/resource_ids.h"
#include "session/triplet_calls.h"
#include "session/twain2.h"
#include "session/twain_session.h"

namespace {

using Strings = std::vector<std::string>;
using MemoryCallsProc = void (*)(LONG*);

std::string BesideTests(const char* file) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + file;
}

TEST(Twain2DsmDoubleTest, EntryPointAndCallbackCarryASessionToSixAndBack) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  TWAIN_Startup();
  const std::string manager = BesideTests("twain2_dsm_double.dll");
  TWAIN_SetManagerPath(manager.c_str());
  TWAIN_SetTwain2(true);
  TWAIN_SetUIHidden(true);
  {
    auto window = std::make_unique<ProbeWindow>();
    ASSERT_TRUE(window->Open(SW_SHOWNORMAL));
    ASSERT_EQ(TWAIN_State(), 4);
    const LogStore& log = window->log().store();
    Strings lines;
    for (int i = 0; i < log.count(); ++i) lines.push_back(log.line(i));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[1], "   Source Manager: " + manager);
    EXPECT_EQ(lines[3],
              "   DAT_ENTRYPOINT granted: blocks go through the Source Manager's memory functions");
    EXPECT_EQ(lines[5], "   DAT_CALLBACK registered: Source events come by callback");

    HMODULE double_ = GetModuleHandleA(manager.c_str());
    ASSERT_NE(double_, nullptr);
    auto memoryCalls = reinterpret_cast<MemoryCallsProc>(
        reinterpret_cast<void*>(GetProcAddress(double_, "DoubleMemoryCalls")));
    ASSERT_NE(memoryCalls, nullptr);

    // Enabling sets ICAP_XFERMECH with a block of ours; the Source then
    // reports its image by callback, taken from our queue.
    SendMessageA(window->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_HIGHER, BN_CLICKED), 0);
    const DWORD start = GetTickCount();
    while (TWAIN_State() != 6 && GetTickCount() - start < 5000) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
        DialogBase::PumpOne(window->hwnd());
      Sleep(10);
    }
    ASSERT_EQ(TWAIN_State(), 6);
    EXPECT_EQ(log.line(log.count() - 1), "received MSG_XFERREADY");
    LONG calls[5];
    memoryCalls(calls);
    EXPECT_GT(calls[0], 0) << "allocations";
    EXPECT_EQ(calls[0], calls[1]) << "every block allocated was freed";
    EXPECT_EQ(calls[2], calls[3]) << "every lock was released";
    // The Source's answers to the capability scans are freed through the Manager too.
    EXPECT_GT(calls[4], 0) << "containers of the Source freed";

    for (int state : {5, 4, 3, 2, 1}) {
      SendMessageA(window->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LOWER, BN_CLICKED), 0);
      EXPECT_EQ(TWAIN_State(), state);
    }
    EXPECT_FALSE(platform::UsingMemoryFunctions());
  }
  TWAIN_SetTwain2(false);
  TWAIN_SetManagerPath(nullptr);
  TWAIN_Shutdown();
  ResetLog();
}

// Each file of the Windows layout, and the combined one, under a Manager
// that lists one identity per file and asks with the Id it assigned.
TEST(Twain2DsmDoubleTest, EachFileListsAndOpensItsFirstSource) {
  const std::string manager = BesideTests("twain2_dsm_double.dll");
  const std::pair<const char*, const char*> files[] = {{"vorrel_flatbed.ds", "Sample Flatbed"},
                                                       {"vorrel_fault_lab.ds", "Sample Fault Lab"},
                                                       {"vorrel_sample.ds", "Sample Flatbed"}};
  for (const auto& [file, name] : files) {
    SCOPED_TRACE(file);
    TWAIN_Startup();
    SetEnvironmentVariableA("VORREL_DOUBLE_SOURCE", BesideTests(file).c_str());
    TWAIN_SetManagerPath(manager.c_str());
    ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
    TW_IDENTITY identity{};
    ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity));
    EXPECT_STREQ(identity.ProductName, name);
    ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity));
    EXPECT_STREQ(TWAIN_SourceProductName(), name);
    EXPECT_TRUE(TWAIN_UnbindManager());
    SetEnvironmentVariableA("VORREL_DOUBLE_SOURCE", nullptr);
    TWAIN_SetManagerPath(nullptr);
    TWAIN_Shutdown();
  }
}

}  // namespace
