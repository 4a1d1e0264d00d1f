#include "platform/fault_guard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

using IntFunction = int (*)();
using IntIntFunction = int (*)(int);

class FaultGuardTest : public testing::Test {
 protected:
  void SetUp() override {
    dll_ = LoadLibraryA("fault_dll.dll");
    ASSERT_NE(dll_, nullptr) << "fault_dll.dll beside the tests";
  }
  void TearDown() override { FreeLibrary(dll_); }

  template <class F>
  F Get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
  }

  // Calls a faulting export under the guard; returns the fault code, 0 for none.
  std::uint32_t FaultOf(const char* name) {
    auto fn = Get<IntFunction>(name);
    EXPECT_NE(fn, nullptr) << name;
    platform::FaultInfo fault;
    volatile int sink = 0;
    const bool completed = platform::RunGuarded([&] { sink = fn(); }, &fault);
    (void)sink;
    return completed ? 0 : fault.code;
  }

  HMODULE dll_ = nullptr;
};

TEST_F(FaultGuardTest, CatchesEachProcessorFaultTwiceInARow) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(FaultOf("ReadNull"), platform::kFaultAccessViolation);
    EXPECT_EQ(FaultOf("IllegalInstruction"), platform::kFaultIllegalInstruction);
    auto divide = Get<IntIntFunction>("DivideByZero");
    platform::FaultInfo fault;
    volatile int sink = 0;
    EXPECT_FALSE(platform::RunGuarded([&] { sink = divide(0); }, &fault));
    EXPECT_EQ(fault.code, platform::kFaultIntDivideByZero);
  }
  // The process goes on, and guarded code that does not fault completes.
  auto survive = Get<IntIntFunction>("Survive");
  int result = 0;
  platform::FaultInfo fault;
  EXPECT_TRUE(platform::RunGuarded([&] { result = survive(41); }, &fault));
  EXPECT_EQ(result, 42);
}

TEST_F(FaultGuardTest, FaultAddressLiesInTheDll) {
  auto fn = Get<IntFunction>("ReadNull");
  platform::FaultInfo fault;
  volatile int sink = 0;
  ASSERT_FALSE(platform::RunGuarded([&] { sink = fn(); }, &fault));
  (void)sink;
  HMODULE owner = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCSTR>(fault.address), &owner));
  EXPECT_EQ(owner, dll_);
}

TEST_F(FaultGuardTest, InnerGuardCatchesAndOuterGoesOn) {
  auto fn = Get<IntFunction>("ReadNull");
  platform::FaultInfo inner, outer;
  bool innerCompleted = true;
  volatile int sink = 0;
  const bool outerCompleted = platform::RunGuarded(
      [&] { innerCompleted = platform::RunGuarded([&] { sink = fn(); }, &inner); }, &outer);
  EXPECT_FALSE(innerCompleted);
  EXPECT_TRUE(outerCompleted);
  EXPECT_EQ(inner.code, platform::kFaultAccessViolation);
}

TEST_F(FaultGuardTest, FaultsHandledBelowTheGuardPassUnseen) {
  auto probe = Get<IntFunction>("ProbeBadPointers");
  int result = -1;
  platform::FaultInfo fault;
  EXPECT_TRUE(platform::RunGuarded([&] { result = probe(); }, &fault));
  EXPECT_EQ(result, 2);  // both probes said bad, the lock failed
}

TEST_F(FaultGuardTest, AnyExceptionCodeIsAFaultNamedWithItsPlace) {
  auto raise = Get<void (*)(DWORD)>("RaiseCode");
  for (DWORD code : {0xE0000001ul, 0xC00002B4ul, 0xC00002B5ul, 0x80000003ul, 0x40000015ul}) {
    platform::FaultInfo fault;
    EXPECT_FALSE(platform::RunGuarded([&] { raise(code); }, &fault)) << std::hex << code;
    EXPECT_EQ(fault.code, code);
    EXPECT_EQ(fault.threadId, GetCurrentThreadId());
  }
  auto msvcThrow = Get<void (*)()>("ThrowAsMsvc");
  platform::FaultInfo fault;
  EXPECT_FALSE(platform::RunGuarded([&] { msvcThrow(); }, &fault));
  EXPECT_EQ(fault.code, platform::kFaultCppException);
  // The place names the module that raised it; the raise itself is in the system's code.
  auto read = Get<IntFunction>("ReadNull");
  volatile int sink = 0;
  ASSERT_FALSE(platform::RunGuarded([&] { sink = read(); }, &fault));
  EXPECT_EQ(std::string(fault.place).rfind("fault_dll.dll+0x", 0), 0u) << fault.place;
}

TEST_F(FaultGuardTest, SecondStackOverflowIsCaughtLikeTheFirst) {
  auto overflow = Get<IntIntFunction>("OverflowStack");
  for (int round = 0; round < 3; ++round) {
    platform::FaultInfo fault;
    volatile int sink = 0;
    EXPECT_FALSE(platform::RunGuarded([&] { sink = overflow(0); }, &fault)) << round;
    EXPECT_EQ(fault.code, platform::kFaultStackOverflow) << round;
  }
}

TEST_F(FaultGuardTest, FloatOverflowDismissedOrCaughtAndControlPutBack) {
  auto overflow = Get<double (*)(int)>("OverflowFloat");
  const platform::FloatControl before = platform::SaveFloatControl();
  for (int x87 : {0, 1}) {
    SCOPED_TRACE(x87);
    platform::FaultInfo fault;
    double result = 0;
    platform::GuardOptions dismiss;
    dismiss.dismissOverflow = true;
    const bool returned = platform::RunGuarded([&] { result = overflow(x87); }, &fault, dismiss);
    // A dismissed overflow goes on with the masked result; any other code is a fault.
    if (returned) {
      EXPECT_TRUE(std::isinf(result));
    } else {
      EXPECT_NE(fault.code, platform::kFaultFltOverflow);
    }
    EXPECT_FALSE(platform::RunGuarded([&] { result = overflow(x87); }, &fault));
    const platform::FloatControl after = platform::SaveFloatControl();
    EXPECT_EQ(after.x87, before.x87);
    EXPECT_EQ(after.sse & ~0x3Fu, before.sse & ~0x3Fu);
  }
}

TEST_F(FaultGuardTest, GuardedFaultInsideATimerProcedureIsCaught) {
  // Calls into a Source start in window and timer procedures, whose callers
  // in the system swallow some exceptions: the guard must see it first.
  static platform::FaultInfo fault;
  static bool returned = true;
  static IntFunction read = nullptr;
  read = Get<IntFunction>("ReadNull");
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    volatile int sink = 0;
    returned = platform::RunGuarded([&] { sink = read(); }, &fault);
  });
  ASSERT_NE(timer, 0u);
  MSG message;
  for (int i = 0; i < 200 && returned; ++i) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(5);
  }
  EXPECT_FALSE(returned);
  EXPECT_EQ(fault.code, platform::kFaultAccessViolation);
}

TEST_F(FaultGuardTest, AMinidumpIsWrittenWhenAsked) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  platform::SetFaultDumpDirectory(folder);
  auto read = Get<IntFunction>("ReadNull");
  platform::FaultInfo fault;
  volatile int sink = 0;
  EXPECT_FALSE(platform::RunGuarded([&] { sink = read(); }, &fault));
  platform::SetFaultDumpDirectory(nullptr);
  ASSERT_NE(fault.dumpPath[0], '\0');
  char signature[4] = {};
  if (FILE* file = std::fopen(fault.dumpPath, "rb")) {
    std::fread(signature, 1, sizeof(signature), file);
    std::fclose(file);
  }
  EXPECT_EQ(std::string(signature, 4), "MDMP") << fault.dumpPath;
  std::remove(fault.dumpPath);
  EXPECT_FALSE(platform::RunGuarded([&] { sink = read(); }, &fault));
  EXPECT_EQ(fault.dumpPath[0], '\0') << "none unless asked";
}

TEST_F(FaultGuardTest, SwitchedOffTheGuardRunsTheCallBare) {
  platform::SetFaultGuardEnabled(false);
  int ran = 0;
  platform::FaultInfo fault;
  EXPECT_TRUE(platform::RunGuarded([&] { ++ran; }, &fault));
  platform::SetFaultGuardEnabled(true);
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(platform::FaultGuardEnabled());
}

TEST_F(FaultGuardTest, CppExceptionReachingTheGuardIsReported) {
  platform::FaultInfo fault;
  EXPECT_FALSE(platform::RunGuarded([] { throw 7; }, &fault));
  EXPECT_EQ(fault.code, platform::kFaultCppException);
}

}  // namespace
