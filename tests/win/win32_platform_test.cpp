// The Windows side of the platform seam.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/directories.h"
#include "platform/memory.h"
#include "platform/message_queue.h"
#include "platform/settings.h"
#include "session/event_routing.h"
#include "session/twain_session.h"

namespace {

TEST(Win32PlatformTest, MovableBlocksKeepTheirContentsAndReportTheirSize) {
  platform::MemoryHandle block = platform::MemAlloc(100);
  ASSERT_NE(block, nullptr);
  EXPECT_GE(platform::MemSize(block), 100u);
  {
    platform::MemLockGuard lock(block);
    ASSERT_TRUE(lock);
    std::memset(lock.data(), 0xAB, 100);
  }
  EXPECT_EQ(GlobalFlags(static_cast<HGLOBAL>(block)) & GMEM_LOCKCOUNT, 0u)
      << "the guard released its lock";
  {
    platform::MemLockGuard lock(block);
    EXPECT_EQ(static_cast<unsigned char*>(lock.data())[99], 0xAB);
  }
  platform::MemFree(block);
  EXPECT_EQ(platform::MemLock(nullptr), nullptr);
  EXPECT_EQ(platform::MemSize(nullptr), 0u);
}

TEST(Win32PlatformTest, DirectoriesAndFileExistence) {
  char windows[128], system[128];
  ASSERT_GT(platform::WindowsDirectory(windows, sizeof(windows)), 0u);
  ASSERT_GT(platform::SystemDirectory(system, sizeof(system)), 0u);
  EXPECT_EQ(std::string(system).rfind(windows, 0), 0u) << system << " under " << windows;
  char tiny[4];
  EXPECT_EQ(platform::WindowsDirectory(tiny, sizeof(tiny)), 0u) << "a buffer too small is refused";
  EXPECT_TRUE(platform::FileExists((std::string(system) + "\\twain_32.dll").c_str()));
  EXPECT_FALSE(platform::FileExists(system)) << "a directory is not a file";
  EXPECT_FALSE(platform::FileExists((std::string(windows) + "\\no-such-file.dll").c_str()));
}

TEST(Win32PlatformTest, SettingsRoundTripThroughTheRegistry) {
  platform::SetSettingsLocation("Kandrith", "Vorrel Test");
  EXPECT_EQ(platform::ReadSettingInt("Caps", "SetCon-0x1234", -5), -5);
  ASSERT_TRUE(platform::WriteSettingInt("Caps", "SetCon-0x1234", 0x40));
  EXPECT_EQ(platform::ReadSettingInt("Caps", "SetCon-0x1234", -5), 0x40);
  HKEY key;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kandrith\\Vorrel Test\\Caps", 0, KEY_READ, &key),
      ERROR_SUCCESS);
  RegCloseKey(key);
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kandrith\\Vorrel Test");
}

TEST(Win32PlatformTest, DrainDispatchesToTheWindowAndPostsTheQuitAgain) {
  static int received = 0;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) received += static_cast<int>(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
  };
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VorrelDrainTest";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("VorrelDrainTest", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(platform::IsWindowHandle(window));
  PostMessageA(window, WM_USER + 7, 5, 0);
  PostQuitMessage(9);
  PostMessageA(window, WM_USER + 7, 100, 0);
  TWAIN_DrainMessages();
  // Windows hands out the quit only after every posted message.
  EXPECT_EQ(received, 105);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit was posted again";
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 9u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(window);
  EXPECT_FALSE(platform::IsWindowHandle(window));
}

}  // namespace
