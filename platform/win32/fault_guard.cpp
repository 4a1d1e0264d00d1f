// Windows fault guard. g++ has no __try, so a vectored exception handler
// takes a processor fault raised while a guard is armed, records it and
// points the faulting thread at ResumeAfterFault, which jumps back to the
// guarded call. The Source's frames are abandoned, never unwound.
#include "platform/fault_guard.h"

#include <windows.h>

namespace platform {
namespace {

struct GuardFrame {
  void* jump[5];  // __builtin_setjmp buffer
  FaultInfo fault;
  GuardOptions options;
};

constexpr int kMaxDepth = 16;
GuardFrame* g_frames[kMaxDepth];
volatile LONG g_depth = 0;
PVOID g_handler = nullptr;

bool IsProcessorFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_NONCONTINUABLE_EXCEPTION:
      return true;
    default:
      return false;
  }
}

__attribute__((noinline, noreturn)) void ResumeAfterFault() {
  __builtin_longjmp(g_frames[g_depth - 1]->jump, 1);
}

LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  if (g_depth <= 0) return EXCEPTION_CONTINUE_SEARCH;
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (!IsProcessorFault(code)) return EXCEPTION_CONTINUE_SEARCH;
  GuardFrame* frame = g_frames[g_depth - 1];
  if (frame->options.dismissOverflow &&
      (code == EXCEPTION_INT_OVERFLOW || code == EXCEPTION_FLT_OVERFLOW)) {
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  frame->fault.code = code;
  frame->fault.address = info->ExceptionRecord->ExceptionAddress;
  CONTEXT* context = info->ContextRecord;
  // Enter the resume function as if called, on an aligned stack well below
  // whatever the faulting code was using.
#if defined(_WIN64)
  context->Rsp = ((context->Rsp - 0x200) & ~static_cast<DWORD64>(0xF)) - 8;
  context->Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
#else
  context->Esp = ((context->Esp - 0x200) & ~static_cast<DWORD>(0xF)) - 4;
  context->Eip = reinterpret_cast<DWORD>(&ResumeAfterFault);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

__attribute__((noinline)) bool RunFrame(GuardFrame& frame, GuardedFunction fn, void* context) {
  if (__builtin_setjmp(frame.jump) != 0) return false;
  try {
    fn(context);
  } catch (...) {
    frame.fault.code = kFaultCppException;
    return false;
  }
  return true;
}

}  // namespace

bool RunGuarded(GuardedFunction fn, void* context, FaultInfo* fault, GuardOptions options) {
  if (!g_handler) g_handler = AddVectoredExceptionHandler(1, OnException);
  if (g_depth >= kMaxDepth) {
    fn(context);
    return true;
  }
  GuardFrame frame{};
  frame.options = options;
  const LONG depth = g_depth;
  g_frames[depth] = &frame;
  g_depth = depth + 1;
  const bool completed = RunFrame(frame, fn, context);
  g_depth = depth;
  if (!completed && fault) *fault = frame.fault;
  return completed;
}

}  // namespace platform
