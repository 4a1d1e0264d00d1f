#include "platform/fault_guard.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Kept out of line, volatile and unchecked by the sanitizer: the faults must
// reach the processor, as they do inside a Source.
__attribute__((noinline, no_sanitize("undefined"))) int ReadThrough(volatile int* pointer) {
  return *pointer;
}
__attribute__((noinline, no_sanitize("undefined"))) int Divide(int numerator, int divisor) {
  volatile int n = numerator, d = divisor;
  return n / d;
}

TEST(HostFaultGuardTest, CatchesFaultsTwiceInARowAndGoesOn) {
  for (int round = 0; round < 2; ++round) {
    platform::FaultInfo fault;
    volatile int sink = 0;
    EXPECT_FALSE(platform::RunGuarded([&] { sink = ReadThrough(nullptr); }, &fault));
    EXPECT_EQ(fault.code, platform::kFaultAccessViolation);
    EXPECT_FALSE(platform::RunGuarded([&] { sink = Divide(1, 0); }, &fault));
    EXPECT_EQ(fault.code, platform::kFaultIntDivideByZero);
    EXPECT_FALSE(platform::RunGuarded([] { __builtin_trap(); }, &fault));
    EXPECT_EQ(fault.code, platform::kFaultIllegalInstruction);
  }
  int value = 0;
  platform::FaultInfo fault;
  EXPECT_TRUE(platform::RunGuarded([&] { value = 5; }, &fault));
  EXPECT_EQ(value, 5);
}

TEST(HostFaultGuardTest, InnerGuardCatchesAndTheOuterCompletes) {
  platform::FaultInfo inner, outer;
  bool innerCompleted = true;
  volatile int sink = 0;
  EXPECT_TRUE(platform::RunGuarded(
      [&] { innerCompleted = platform::RunGuarded([&] { sink = ReadThrough(nullptr); }, &inner); },
      &outer));
  EXPECT_FALSE(innerCompleted);
}

TEST(HostFaultGuardTest, CppExceptionIsReported) {
  platform::FaultInfo fault;
  EXPECT_FALSE(platform::RunGuarded([] { throw 1; }, &fault));
  EXPECT_EQ(fault.code, platform::kFaultCppException);
}

}  // namespace
