// Reference counts of the bitmap handles that the probe's views share: the
// last release frees the block.
#pragma once

#include <unordered_map>

#include "imaging/dib.h"

struct DibRegistry {
  std::unordered_map<DibHandle, int> counts;
};

// The process-wide registry.
DibRegistry& TheDibRegistry();
// Forgets every count without freeing (tests and shutdown).
void DibRegistry_Reset();

// Null is ignored; an unregistered handle enters with 1.
void DibRegistry_AddRef(DibHandle handle);
// Null and unregistered handles are ignored; the last reference frees the block.
void DibRegistry_Release(DibHandle handle);
// 0 for a handle that is not registered.
int DibRegistry_Count(DibHandle handle);
