#include "platform/fault_guard.h"

#include <windows.h>

#include <gtest/gtest.h>

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

TEST_F(FaultGuardTest, CppExceptionReachingTheGuardIsReported) {
  platform::FaultInfo fault;
  EXPECT_FALSE(platform::RunGuarded([] { throw 7; }, &fault));
  EXPECT_EQ(fault.code, platform::kFaultCppException);
}

}  // namespace
