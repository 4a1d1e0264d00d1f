// Run-time loading of libraries (the Source Manager, decoders).
#pragma once

#include "platform/handles.h"

namespace platform {

ModuleHandle LoadModule(const char* path);
// Null when the module does not export the name.
void* FindSymbol(ModuleHandle module, const char* name);
void UnloadModule(ModuleHandle module);
// The program's own module instance.
ModuleHandle ProgramModule();

}  // namespace platform
