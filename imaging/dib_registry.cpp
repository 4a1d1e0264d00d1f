#include "imaging/dib_registry.h"

#include "platform/memory.h"

DibRegistry& TheDibRegistry() {
  static DibRegistry registry;
  return registry;
}

void DibRegistry_Reset() {
  TheDibRegistry() = DibRegistry{};
}

void DibRegistry_AddRef(DibHandle handle) {
  if (handle) ++TheDibRegistry().counts[handle];
}

void DibRegistry_Release(DibHandle handle) {
  auto& counts = TheDibRegistry().counts;
  auto it = handle ? counts.find(handle) : counts.end();
  if (it == counts.end()) return;
  if (it->second > 1) {
    --it->second;
    return;
  }
  counts.erase(it);
  platform::MemFree(handle);
}

int DibRegistry_Count(DibHandle handle) {
  const auto& counts = TheDibRegistry().counts;
  auto it = counts.find(handle);
  return it == counts.end() ? 0 : it->second;
}
