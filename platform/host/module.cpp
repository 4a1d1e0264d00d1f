// Host modules are symbol tables registered under a path, so a test can put
// an in-process Source Manager where the library looks for one.
#include "platform/module.h"

#include <functional>
#include <map>
#include <string>

#include "platform/directories.h"
#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"

namespace platform {
namespace {

struct LoadedModule {
  std::string path;
  int references = 0;
};

struct Registered {
  host::SymbolTable symbols;
  std::function<void()> onUnload;
};

struct ModuleRecord {
  std::map<std::string, Registered> registered;
  std::map<std::string, std::string> versions;  // keyed by folded path
  std::string lastError;
  std::map<std::string, LoadedModule> loaded;  // keyed by folded path
  std::map<std::string, int> loadCounts;
};

ModuleRecord& Record() {
  static ModuleRecord record;
  return record;
}

int g_programModule;

}  // namespace

ModuleHandle LoadModule(const char* path) {
  if (!path) return nullptr;
  ModuleRecord& record = Record();
  std::string key = host::FoldPath(path);
  if (!record.registered.count(key)) {
    record.lastError = FileExists(path) ? "error 193: not a valid application"
                                        : "error 126: the module could not be found";
    return nullptr;
  }
  record.lastError.clear();
  LoadedModule& module = record.loaded[key];
  module.path = key;
  ++module.references;
  ++record.loadCounts[key];
  return &module;
}

void* FindSymbol(ModuleHandle handle, const char* name) {
  if (!handle || !name) return nullptr;
  auto* module = static_cast<LoadedModule*>(handle);
  auto reg = Record().registered.find(module->path);
  if (reg == Record().registered.end()) return nullptr;
  auto symbol = reg->second.symbols.find(name);
  return symbol == reg->second.symbols.end() ? nullptr : symbol->second;
}

void UnloadModule(ModuleHandle handle) {
  if (!handle) return;
  ModuleRecord& record = Record();
  auto* module = static_cast<LoadedModule*>(handle);
  if (--module->references > 0) return;
  const std::string path = module->path;
  record.loaded.erase(path);
  auto reg = record.registered.find(path);
  if (reg != record.registered.end() && reg->second.onUnload) reg->second.onUnload();
}

std::string LastLoadError() {
  return Record().lastError;
}

std::string FileVersion(const char* path) {
  if (!path) return {};
  auto it = Record().versions.find(host::FoldPath(path));
  return it == Record().versions.end() ? std::string() : it->second;
}

ModuleHandle ProgramModule() {
  return &g_programModule;
}

namespace host {

void RegisterModule(const std::string& path, SymbolTable symbols, std::function<void()> onUnload) {
  Record().registered[FoldPath(path)] = {std::move(symbols), std::move(onUnload)};
  AddFile(path);
}

void UnregisterModule(const std::string& path) {
  Record().registered.erase(FoldPath(path));
  RemoveFile(path);
}

void SetFileVersion(const std::string& path, const std::string& version) {
  Record().versions[FoldPath(path)] = version;
}

int LoadCount(const std::string& path) {
  auto it = Record().loadCounts.find(FoldPath(path));
  return it == Record().loadCounts.end() ? 0 : it->second;
}

int LiveModuleCount() {
  return static_cast<int>(Record().loaded.size());
}

void ResetModules() {
  Record() = ModuleRecord{};
}

}  // namespace host
}  // namespace platform
