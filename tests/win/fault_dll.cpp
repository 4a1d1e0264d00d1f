// Functions that fault the way a broken Source does, built as a DLL of its
// own so the faults are raised in another module's code.
#include <windows.h>

extern "C" {

__declspec(dllexport) int ReadNull() {
  volatile int* nowhere = nullptr;
  return *nowhere;
}

__declspec(dllexport) int DivideByZero(int divisor) {
  volatile int numerator = 7;
  return numerator / divisor;
}

__declspec(dllexport) int IllegalInstruction() {
  __builtin_trap();
}

__declspec(dllexport) int Survive(int value) {
  return value + 1;
}
}

// Faults that never reach a guard: the system's pointer probes and a bogus
// handle lock handle their own faults.
extern "C" __declspec(dllexport) int ProbeBadPointers() {
  auto* bogus = reinterpret_cast<void*>(0x10);
  const int bad = IsBadReadPtr(bogus, 4) + IsBadWritePtr(bogus, 4);
  const bool locked = GlobalLock(reinterpret_cast<HGLOBAL>(0x10)) != nullptr;
  return bad + (locked ? 100 : 0);
}

extern "C" __declspec(dllexport) void RaiseCode(DWORD code) {
  RaiseException(code, 0, 0, nullptr);
}

// What an MSVC-built DLL's `throw` raises.
extern "C" __declspec(dllexport) void ThrowAsMsvc() {
  const ULONG_PTR parameters[3] = {0x19930520, 0, 0};
  RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, parameters);
}

#pragma GCC diagnostic ignored "-Winfinite-recursion"
extern "C" __declspec(dllexport) int OverflowStack(int depth) {
  volatile char room[4096];
  room[0] = static_cast<char>(depth);
  return OverflowStack(depth + 1) + room[0];
}

// Unmasks floating-point overflow and overflows: through SSE, or the x87 unit.
extern "C" __declspec(dllexport) double OverflowFloat(int x87) {
  if (x87) {
    unsigned short control;
    asm volatile("fnstcw %0" : "=m"(control));
    control &= static_cast<unsigned short>(~0x08);
    asm volatile("fldcw %0" : : "m"(control));
    volatile long double big = 1e4000L;
    volatile long double product = big * big;
    return static_cast<double>(product);
  }
  unsigned mxcsr;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  mxcsr &= ~0x400u;
  asm volatile("ldmxcsr %0" : : "m"(mxcsr));
  volatile double big = 1e300;
  volatile double product = big * big;
  return product;
}

// Leaves every floating-point exception unmasked, as a careless Source does.
extern "C" __declspec(dllexport) void UnmaskFloat() {
  unsigned short control = 0x0240;
  asm volatile("fldcw %0" : : "m"(control));
  unsigned mxcsr = 0;
  asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}
