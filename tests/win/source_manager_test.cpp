// The session library against Wine's real Source Manager.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "session/event_routing.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string ModulePath(platform::ModuleHandle module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
  return path;
}

class SourceManagerTest : public testing::Test {
 protected:
  void SetUp() override { TWAIN_Startup(); }
  void TearDown() override {
    TWAIN_UnbindManager();
    TWAIN_Shutdown();
  }
};

TEST_F(SourceManagerTest, BindsFromTheSystemDirectoryAndOpensWithTheProxy) {
  ASSERT_TRUE(TWAIN_BindManager());
  EXPECT_EQ(TWAIN_State(), 2);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(Lower(ModulePath(TWAIN_Session().managerLibrary)),
            Lower(std::string(system) + "\\twain_32.dll"));

  ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
  EXPECT_EQ(TWAIN_State(), 3);
  HWND proxy = static_cast<HWND>(TWAIN_Session().proxyWindow);
  ASSERT_TRUE(IsWindow(proxy));
  EXPECT_EQ(TWAIN_Session().parentWindow, proxy);
  char text[64] = {}, windowClass[64] = {};
  GetWindowTextA(proxy, text, sizeof(text));
  GetClassNameA(proxy, windowClass, sizeof(windowClass));
  EXPECT_STREQ(text, "Acquire Proxy");
  EXPECT_EQ(Lower(windowClass), "static");
  EXPECT_FALSE(IsWindowVisible(proxy));
  EXPECT_EQ(GetParent(proxy), nullptr);

  ASSERT_TRUE(TWAIN_ManagerClose(nullptr));
  EXPECT_EQ(TWAIN_State(), 2);
  ASSERT_TRUE(TWAIN_UnbindManager());
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_FALSE(IsWindow(proxy)) << "unbinding destroys the proxy";
  EXPECT_EQ(TWAIN_Session().managerEntry, nullptr);
}

TEST_F(SourceManagerTest, ListsTheSourcesAndTheDefaultIsOneOfThem) {
  ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
  std::vector<std::string> names;
  TW_IDENTITY identity{};
  bool more = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity);
  while (more && names.size() < 64) {
    names.emplace_back(identity.ProductName, strnlen(identity.ProductName, 34));
    identity = TW_IDENTITY{};
    more = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity);
  }
  ASSERT_FALSE(names.empty()) << "Wine's Manager lists at least its camera Source";
  EXPECT_EQ(TWAIN_GetResultCode(), TWRC_ENDOFLIST);
  EXPECT_EQ(TWAIN_State(), 3) << "listing moves nothing";

  identity = TW_IDENTITY{};
  ASSERT_TRUE(TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &identity));
  const std::string defaultName(identity.ProductName, strnlen(identity.ProductName, 34));
  EXPECT_NE(std::find(names.begin(), names.end(), defaultName), names.end()) << defaultName;
  EXPECT_EQ(TWAIN_GetConditionCode(), TWCC_SUCCESS) << "the Manager answers in state 3";
}

TEST_F(SourceManagerTest, InvalidParentIsReportedAndTheProxyUsedInstead) {
  ASSERT_TRUE(TWAIN_ManagerOpen(reinterpret_cast<platform::WindowHandle>(0x7654)));
  EXPECT_EQ(TWAIN_State(), 3);
  EXPECT_EQ(TWAIN_Session().parentWindow, TWAIN_Session().proxyWindow);
  auto boxes = platform::TakeCapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "TWAIN Error");
  EXPECT_EQ(boxes[0].text, "Ambit: window handle is invalid");
}

TEST_F(SourceManagerTest, ShutdownWhileOpenSendsNothingAndUnloads) {
  ASSERT_TRUE(TWAIN_ManagerOpen(nullptr));
  HMODULE library = static_cast<HMODULE>(TWAIN_Session().managerLibrary);
  TWAIN_Shutdown();
  EXPECT_EQ(TWAIN_State(), 1);
  EXPECT_EQ(TWAIN_Session().managerLibrary, nullptr);
  HMODULE stillLoaded = nullptr;
  EXPECT_FALSE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(library), &stillLoaded));
  TWAIN_Startup();
  // The same process binds and opens again after the hard reset.
  EXPECT_TRUE(TWAIN_ManagerOpen(nullptr));
}

}  // namespace
