#include "caps/capability_calls.h"

#include <cstring>

#include "platform/memory.h"
#include "session/call_seam.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace {

constexpr int kSourceOpenState = 4;

constexpr const char* kGetRefusal = "TWAIN_GetXXX below State 4.";
constexpr const char* kSetRefusal = "Setting capability in State < 4.";
constexpr const char* kResetRefusal = "TWAIN_Reset below State 4.";
constexpr const char* kGetValueRefusal = "Attempt to get capability value below State 4.";
constexpr const char* kBadOneValueType = "TWAIN_SetCapOneValue: invalid item type.";
constexpr const char* kNoMemory = "Insufficient Memory";

bool SourceOpen(const char* refusal) {
  if (TWAIN_State() >= kSourceOpenState) return true;
  TWAIN_ErrorBox(refusal);
  return false;
}

bool SendCapability(TW_UINT16 msg, TW_CAPABILITY& record) {
  return TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, msg, &record);
}

ContainerHandle* GetContainer(TW_UINT16 msg, TW_UINT16 cap) {
  if (!SourceOpen(kGetRefusal)) return nullptr;
  // A scan asks this a thousand times: the record carries its own guard.
  WithGuard<TW_CAPABILITY> guarded;
  TW_CAPABILITY& record = guarded.record;
  record = {cap, TWON_DONTCARE16, nullptr};
  if (TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, msg, guarded) && record.hContainer) {
    return CONTAINER_Attach(record.ConType, record.hContainer);
  }
  // A block a failing Source handed over anyway is ours to free.
  platform::MemFree(record.hContainer);
  return nullptr;
}

// Where the current item of the Source's answer lies, or false when the
// answer's shape has none.
bool CurrentItemOffset(const std::uint8_t* data, std::size_t blockSize, TW_UINT16 conType,
                       std::uint64_t itemSize, std::uint64_t& offset) {
  switch (conType) {
    case TWON_ENUMERATION: {
      TW_ENUMERATION header;
      if (blockSize < sizeof(header)) return false;
      std::memcpy(&header, data, sizeof(header));
      if (header.CurrentIndex >= header.NumItems) return false;
      offset = sizeof(header) + itemSize * header.CurrentIndex;
      return true;
    }
    case TWON_ONEVALUE:
      offset = offsetof(TW_ONEVALUE, Item);
      return true;
    case TWON_RANGE:
      offset = offsetof(TW_RANGE, CurrentValue);
      return true;
    default:
      return false;
  }
}

// Copies the current item of the Source's block into buffer; every read
// stays inside the block, whatever its header declares.
bool CopyCurrentItem(const TW_CAPABILITY& record, int itemType, void* buffer) {
  const auto itemSize = static_cast<std::uint64_t>(CONTAINER_ItemSize(itemType));
  if (!buffer || itemSize == 0) return false;
  platform::MemLockGuard lock(record.hContainer);
  if (!lock) return false;
  const auto* data = static_cast<const std::uint8_t*>(lock.data());
  const std::size_t blockSize = platform::MemSize(record.hContainer);
  ObserveContainerRead(record.hContainer, data, blockSize);
  std::uint64_t offset = 0;
  if (!CurrentItemOffset(data, blockSize, record.ConType, itemSize, offset)) return false;
  // Every shape's item lies past its item type: a block that holds the item
  // holds the type as well.
  if (offset + itemSize > blockSize) return false;
  TW_UINT16 containerItemType = 0;
  std::memcpy(&containerItemType, data, sizeof(containerItemType));
  if (!ItemTypesCompatible(containerItemType, itemType)) return false;
  std::memcpy(buffer, data + offset, static_cast<std::size_t>(itemSize));
  return true;
}

}  // namespace

ContainerHandle* TWAIN_Get(TW_UINT16 cap) {
  return GetContainer(MSG_GET, cap);
}

ContainerHandle* TWAIN_GetCurrent(TW_UINT16 cap) {
  return GetContainer(MSG_GETCURRENT, cap);
}

ContainerHandle* TWAIN_GetDefault(TW_UINT16 cap) {
  return GetContainer(MSG_GETDEFAULT, cap);
}

bool TWAIN_SetCap(TW_UINT16 cap, const ContainerHandle* h) {
  if (!CONTAINER_IsValid(h)) return false;
  if (!SourceOpen(kSetRefusal)) return false;
  TW_CAPABILITY record{cap, static_cast<TW_UINT16>(h->format), h->block};
  return SendCapability(MSG_SET, record);
}

bool TWAIN_SetCapOneValue(TW_UINT16 cap, int itemType, std::int32_t value) {
  if (static_cast<unsigned>(itemType) >= TWTY_FIX32) {
    TWAIN_ErrorBox(kBadOneValueType);
    return false;
  }
  ContainerHandle* h = CONTAINER_CreateOneValue(itemType, value);
  if (!h) {
    TWAIN_ErrorBox(kNoMemory);
    return false;
  }
  const bool ok = TWAIN_SetCap(cap, h);
  CONTAINER_Free(h);
  return ok;
}

bool TWAIN_Reset(TW_UINT16 cap) {
  if (!SourceOpen(kResetRefusal)) return false;
  TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
  const bool ok = SendCapability(MSG_RESET, record);
  // The Source may answer a reset with the value it reset to; nobody reads it.
  platform::MemFree(record.hContainer);
  return ok;
}

bool TWAIN_GetCurrentValue(TW_UINT16 cap, int itemType, void* buffer) {
  if (!SourceOpen(kGetValueRefusal)) return false;
  TW_CAPABILITY record{cap, TWON_ONEVALUE, nullptr};
  const bool ok = SendCapability(MSG_GETCURRENT, record);
  const bool copied = ok && record.hContainer && CopyCurrentItem(record, itemType, buffer);
  platform::MemFree(record.hContainer);
  return copied;
}

TW_UINT16 TWAIN_GetCurrentUint16(TW_UINT16 cap, int fallback) {
  auto value = static_cast<TW_UINT16>(fallback);
  if (!TWAIN_GetCurrentValue(cap, TWTY_UINT16, &value)) return static_cast<TW_UINT16>(fallback);
  return value;
}

TW_UINT16 TWAIN_GetCurrentUnits() {
  return TWAIN_GetCurrentUint16(ICAP_UNITS, TWUN_INCHES);
}
