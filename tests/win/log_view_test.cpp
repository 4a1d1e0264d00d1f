// The log view's scroll bar follows its lines whether a write is painted at
// once or waits, with others of a burst, for the next paint.
#include "probe/log_view.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class LogViewTest : public testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    ShowWindow(parent_, SW_SHOWNOACTIVATE);
    ASSERT_TRUE(view_.Create(parent_, 1, RECT{0, 0, 380, 60}));
  }
  void TearDown() override { DestroyWindow(parent_); }

  SCROLLINFO Bar() const {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_POS;
    GetScrollInfo(view_.hwnd(), SB_VERT, &info);
    return info;
  }
  // Past the repaint interval, so the next write is painted at once.
  static void Idle() { Sleep(120); }

  HWND parent_ = nullptr;
  LogView view_;
};

TEST_F(LogViewTest, ScrollBarFollowsPaintedAndDeferredWrites) {
  Idle();
  view_.WriteFinal("first");
  EXPECT_EQ(Bar().nMax, 0);
  // A burst: all but its first line wait for the paint, which catches up.
  for (int i = 0; i < 20; ++i) view_.WriteFinal(("line " + std::to_string(i)).c_str());
  UpdateWindow(view_.hwnd());
  EXPECT_EQ(Bar().nMax, 20);
  EXPECT_EQ(Bar().nPos, view_.store().topLine());
  EXPECT_EQ(view_.store().topLine(), 18);

  // A painted provisional line adds a row; its final text replaces it.
  Idle();
  view_.WriteProvisional("working...");
  EXPECT_EQ(Bar().nMax, 21);
  EXPECT_EQ(Bar().nPos, 19);
  Idle();
  view_.WriteFinal("done");
  EXPECT_EQ(Bar().nMax, 21);
  EXPECT_EQ(Bar().nPos, 19);
  EXPECT_EQ(view_.store().line(21), "done");
}

}  // namespace
