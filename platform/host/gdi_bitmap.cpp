// The host's GDI bitmaps are tokens a test makes from a packed DIB; taking
// one hands the DIB back and deletes the token.
#include "platform/gdi_bitmap.h"

#include <map>
#include <memory>

#include "platform/host/host_platform.h"
#include "platform/host/host_reset.h"
#include "platform/memory.h"

namespace platform {
namespace {

struct Token {
  char byte = 0;
};

std::map<MemoryHandle, std::pair<std::unique_ptr<Token>, MemoryHandle>>& Bitmaps() {
  static std::map<MemoryHandle, std::pair<std::unique_ptr<Token>, MemoryHandle>> bitmaps;
  return bitmaps;
}

}  // namespace

bool IsGdiBitmap(MemoryHandle handle) {
  return handle && Bitmaps().count(handle) != 0;
}

MemoryHandle TakeGdiBitmap(MemoryHandle bitmap) {
  auto found = Bitmaps().find(bitmap);
  if (found == Bitmaps().end()) return nullptr;
  MemoryHandle dib = found->second.second;
  Bitmaps().erase(found);
  return dib;
}

namespace host {

MemoryHandle MakeGdiBitmap(MemoryHandle dib) {
  auto token = std::make_unique<Token>();
  MemoryHandle handle = token.get();
  Bitmaps()[handle] = {std::move(token), dib};
  return handle;
}

int LiveGdiBitmapCount() {
  return static_cast<int>(Bitmaps().size());
}

void ResetGdiBitmaps() {
  for (auto& [handle, entry] : Bitmaps()) MemFree(entry.second);
  Bitmaps().clear();
}

}  // namespace host
}  // namespace platform
