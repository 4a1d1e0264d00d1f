// Run-time loading of libraries (the Source Manager, decoders).
#pragma once

#include <string>

#include "platform/handles.h"

namespace platform {

ModuleHandle LoadModule(const char* path);
// Why the last LoadModule of this thread failed, in the system's words
// ("error 193: ..."); empty when the system gives no reason.
std::string LastLoadError();
// The file's version from its version resource ("1.2.3.4"); empty when it has none.
std::string FileVersion(const char* path);
// Null when the module does not export the name.
void* FindSymbol(ModuleHandle module, const char* name);
void UnloadModule(ModuleHandle module);
// The program's own module instance.
ModuleHandle ProgramModule();

}  // namespace platform
