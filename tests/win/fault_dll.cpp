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
