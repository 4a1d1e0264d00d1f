// Windows fault guard. g++ has no __try, so the guarded call goes through a
// small trampoline that carries a frame-based exception handler of its own
// (unwind data with a handler on x64, a registration record on x86). The
// system offers an exception to that handler only after every frame below
// it, the Source's own handlers and the system's pointer probes among them,
// has passed it on: what reaches it is a real fault. Frames are per thread,
// so a fault on a thread no guard covers never lands here. The handler
// sends the thread back to the guarded call; the Source's frames are
// abandoned, never unwound.
#include "platform/fault_guard.h"

#include <windows.h>

#include <dbghelp.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>

namespace {

struct GuardFrame {
  void* jump[5];  // __builtin_setjmp buffer
  platform::FaultInfo fault;
  platform::GuardOptions options;
  // What the minidump needs of the fault.
  EXCEPTION_RECORD record;
  CONTEXT context;
};

// g++'s own exceptions ('GCC ' and its unwinding codes) belong to the C++
// runtime: they pass through to their catch.
// The thread's own block, read through its self pointer (the inline
// NtCurrentTeb trips -Warray-bounds).
NT_TIB* ThreadBlock() {
  NT_TIB* self;
#if defined(_WIN64)
  asm volatile("movq %%gs:0x30, %0" : "=r"(self));
#else
  asm volatile("movl %%fs:0x18, %0" : "=r"(self));
#endif
  return self;
}

bool IsOwnCxxException(DWORD code) {
  return code == 0x20474343 || code == 0x21474343 || code == 0x22474343;
}

struct GuardSwitch {
  bool on = true;
  char dumpDirectory[MAX_PATH] = {};
  unsigned dumpCount = 0;
  platform::UnguardedFaultNote note = nullptr;
};
GuardSwitch g_switch;

// Pending flags cleared and overflow masked in the faulting context, so the
// instruction that raised it runs again without raising it again.
void DismissFloatOverflow(CONTEXT* context) {
#if defined(_WIN64)
  context->FltSave.StatusWord &= static_cast<WORD>(~0x00FFu);
  context->FltSave.ControlWord |= 0x0008;
  context->MxCsr = (context->MxCsr & ~0x3Fu) | 0x0400u;
  context->FltSave.MxCsr = context->MxCsr;
#else
  context->FloatSave.StatusWord &= ~0x00FFu;
  context->FloatSave.ControlWord |= 0x0008;
  if ((context->ContextFlags & CONTEXT_EXTENDED_REGISTERS) == CONTEXT_EXTENDED_REGISTERS) {
    DWORD mxcsr;  // FXSAVE layout: MXCSR at byte 24
    std::memcpy(&mxcsr, context->ExtendedRegisters + 24, sizeof(mxcsr));
    mxcsr = (mxcsr & ~0x3Fu) | 0x0400u;
    std::memcpy(context->ExtendedRegisters + 24, &mxcsr, sizeof(mxcsr));
  }
#endif
}

__attribute__((noinline, noreturn)) void ResumeAfterFault(GuardFrame* frame) {
  __builtin_longjmp(frame->jump, 1);
}

// An unwind passing through, or g++'s own exception on its way to its catch.
bool PassesThrough(const EXCEPTION_RECORD* record) {
  return (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0 ||
         IsOwnCxxException(record->ExceptionCode);
}

// What the handler does with a fault: dismiss it, or take it and send the
// thread back to the guarded call.
EXCEPTION_DISPOSITION Catch(GuardFrame* frame, EXCEPTION_RECORD* record, CONTEXT* context,
                            char* resumeStack) {
  const DWORD code = record->ExceptionCode;
  if (frame->options.dismissOverflow &&
      (code == EXCEPTION_INT_OVERFLOW || code == EXCEPTION_FLT_OVERFLOW)) {
    if (code == EXCEPTION_FLT_OVERFLOW) DismissFloatOverflow(context);
    return ExceptionContinueExecution;
  }
  frame->fault.code = code;
  frame->fault.address = record->ExceptionAddress;
  frame->fault.threadId = GetCurrentThreadId();
  frame->record = *record;
  frame->record.ExceptionRecord = nullptr;
  frame->context = *context;
  // A noncontinuable exception (an MSVC throw, any RaiseException so
  // flagged) cannot be resumed elsewhere: jump straight back from here.
  if (record->ExceptionFlags & EXCEPTION_NONCONTINUABLE) ResumeAfterFault(frame);
  // Otherwise the thread leaves the dispatcher as the system expects and
  // enters the resume function as if called, on the trampoline's spare
  // stack: above every abandoned frame, so even a stack overflow has room.
  const auto top = reinterpret_cast<std::uintptr_t>(resumeStack) & ~std::uintptr_t{0xF};
#if defined(_WIN64)
  context->Rsp = top - 8;
  context->Rcx = reinterpret_cast<DWORD64>(frame);
  context->Rip = reinterpret_cast<DWORD64>(&ResumeAfterFault);
#else
  auto* stack = reinterpret_cast<DWORD*>(top - 16);
  stack[0] = 0;  // the return address nobody returns to
  stack[1] = reinterpret_cast<DWORD>(frame);
  context->Esp = reinterpret_cast<DWORD>(stack);
  context->Eip = reinterpret_cast<DWORD>(&ResumeAfterFault);
#endif
  return ExceptionContinueExecution;
}

}  // namespace

#if defined(_WIN64)
// GuardTrampoline(fn, context, frame), without a frame register: the
// establisher frame the system hands the handler is rsp after the prologue.
// The guard's frame pointer sits at +0x228; the bytes from +0x20 (above the
// callee's home slots) to +0x220 are left free for ResumeAfterFault.
extern "C" void GuardTrampoline(platform::GuardedFunction fn, void* context, GuardFrame* frame);
extern "C" EXCEPTION_DISPOSITION GuardFrameHandler(EXCEPTION_RECORD* record, void* establisher,
                                                   CONTEXT* context, void*) {
  if (PassesThrough(record)) return ExceptionContinueSearch;
  char* base = static_cast<char*>(establisher);
  GuardFrame* frame;
  std::memcpy(&frame, base + 0x228, sizeof(frame));
  return Catch(frame, record, context, base + 0x220);
}
asm(R"(
    .text
    .p2align 4
    .globl GuardTrampoline
    .def GuardTrampoline; .scl 2; .type 32; .endef
    .seh_proc GuardTrampoline
GuardTrampoline:
    subq $0x238, %rsp
    .seh_stackalloc 0x238
    .seh_endprologue
    .seh_handler GuardFrameHandler, @except
    movq %r8, 0x228(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $0x238, %rsp
    retq
    .seh_endproc
)");
#else
namespace {

// An x86 frame handler's registration record, linked from fs:[0].
struct Registration {
  Registration* next;
  void* handler;
  GuardFrame* frame;
  char* resumeStack;
};

extern "C" EXCEPTION_DISPOSITION __cdecl GuardFrameHandler(EXCEPTION_RECORD* record,
                                                           void* establisher, CONTEXT* context,
                                                           void*) {
  auto* registration = static_cast<Registration*>(establisher);
  if (PassesThrough(record)) return ExceptionContinueSearch;
  return Catch(registration->frame, record, context, registration->resumeStack);
}

__attribute__((noinline)) void GuardTrampoline(platform::GuardedFunction fn, void* context,
                                               GuardFrame* frame) {
  volatile char spare[0x240];  // the stack ResumeAfterFault runs on
  NT_TIB* tib = ThreadBlock();
  Registration registration{reinterpret_cast<Registration*>(tib->ExceptionList),
                            reinterpret_cast<void*>(&GuardFrameHandler), frame,
                            const_cast<char*>(spare) + sizeof(spare) - 0x20};
  tib->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(&registration);
  fn(context);
  tib->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(registration.next);
  spare[0] = 0;
}

}  // namespace
#endif

namespace platform {
namespace {

__attribute__((noinline)) bool RunFrame(GuardFrame& frame, GuardedFunction fn, void* context) {
  if (__builtin_setjmp(frame.jump) != 0) return false;
  try {
    GuardTrampoline(fn, context, &frame);
  } catch (...) {
    frame.fault.code = kFaultCppException;
    frame.fault.threadId = GetCurrentThreadId();
    return false;
  }
  return true;
}

// "module.ds+0x1a2b" for an address inside a loaded module.
void DescribePlace(const void* address, char* out, std::size_t capacity) {
  out[0] = '\0';
  HMODULE module = nullptr;
  if (!address || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      static_cast<LPCSTR>(address), &module)) {
    return;
  }
  char path[MAX_PATH] = {};
  if (GetModuleFileNameA(module, path, sizeof(path)) == 0) return;
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  std::snprintf(out, capacity, "%s+0x%llx", name,
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address) -
                                                reinterpret_cast<std::uintptr_t>(module)));
}

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// Written after the jump back, from the copies the handler kept.
void WriteDump(GuardFrame& frame) {
  if (!g_switch.dumpDirectory[0]) return;
  // Loaded when first needed: most runs write no dump.
  static HMODULE dbghelp = LoadLibraryA("dbghelp.dll");
  auto write = dbghelp ? reinterpret_cast<MiniDumpWriteDumpFunction>(
                             reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                       : nullptr;
  if (!write) return;
  // Symbols are the debugger's business: loading them for every module
  // here costs seconds and adds nothing to the dump.
  using SymSetOptionsFunction = DWORD(WINAPI*)(DWORD);
  if (auto options = reinterpret_cast<SymSetOptionsFunction>(
          reinterpret_cast<void*>(GetProcAddress(dbghelp, "SymSetOptions")))) {
    options(SYMOPT_DEFERRED_LOADS);
  }
  char path[sizeof(frame.fault.dumpPath)];
  std::snprintf(path, sizeof(path), "%s\\vorrel-%lu-%u.dmp", g_switch.dumpDirectory,
                GetCurrentProcessId(), ++g_switch.dumpCount);
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  EXCEPTION_POINTERS pointers{&frame.record, &frame.context};
  MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), &pointers, FALSE};
  const BOOL written = write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                             &exception, nullptr, nullptr);
  CloseHandle(file);
  if (written) std::snprintf(frame.fault.dumpPath, sizeof(frame.fault.dumpPath), "%s", path);
}

LONG WINAPI OnUnguardedFault(EXCEPTION_POINTERS* pointers) {
  if (g_switch.note && pointers && pointers->ExceptionRecord) {
    char place[sizeof(FaultInfo::place)];
    DescribePlace(pointers->ExceptionRecord->ExceptionAddress, place, sizeof(place));
    g_switch.note(pointers->ExceptionRecord->ExceptionCode, GetCurrentThreadId(), place);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void SetFaultGuardEnabled(bool enabled) {
  g_switch.on = enabled;
}

bool FaultGuardEnabled() {
  return g_switch.on && !IsDebuggerPresent();
}

void SetFaultDumpDirectory(const char* directory) {
  std::snprintf(g_switch.dumpDirectory, sizeof(g_switch.dumpDirectory), "%s",
                directory ? directory : "");
}

void SetUnguardedFaultNote(UnguardedFaultNote note) {
  g_switch.note = note;
  SetUnhandledExceptionFilter(note ? OnUnguardedFault : nullptr);
}

bool RunGuarded(GuardedFunction fn, void* context, FaultInfo* fault, GuardOptions options) {
  if (!FaultGuardEnabled()) {
    fn(context);
    return true;
  }
  GuardFrame frame{};
  frame.options = options;
  const FloatControl floatControl = SaveFloatControl();
  // x86 links frame handlers from the thread block; Wine links its own
  // internal handlers there on x64 too (the dispatcher's among them).
  NT_TIB* tib = ThreadBlock();
  EXCEPTION_REGISTRATION_RECORD* const handlers = tib->ExceptionList;
  if (RunFrame(frame, fn, context)) return true;
  // The abandoned frames' records are unlinked with them.
  tib->ExceptionList = handlers;
  RestoreFloatControl(floatControl);
  // The overflow used up the stack's guard page; without a new one the next
  // overflow would end the process instead of reaching a guard.
  if (frame.fault.code == kFaultStackOverflow) _resetstkoflw();
  DescribePlace(frame.fault.address, frame.fault.place, sizeof(frame.fault.place));
  if (frame.record.ExceptionCode != 0) WriteDump(frame);  // not for our own C++ throws
  if (fault) *fault = frame.fault;
  return false;
}

}  // namespace platform
