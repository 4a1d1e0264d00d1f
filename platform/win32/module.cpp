#include "platform/module.h"

#include <windows.h>

namespace platform {

ModuleHandle LoadModule(const char* path) {
  return path ? LoadLibraryA(path) : nullptr;
}

void* FindSymbol(ModuleHandle module, const char* name) {
  if (!module || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(ModuleHandle module) {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

ModuleHandle ProgramModule() {
  return GetModuleHandleA(nullptr);
}

}  // namespace platform
