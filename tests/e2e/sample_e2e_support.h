// Helpers of the end-to-end tests: listing and opening Sources through
// Wine's Manager, capability triplets built by hand, and a message loop that
// offers every message to the Source.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_queue.h"
#include "platform/tick_count.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"

namespace sample_e2e {

inline constexpr char kFlatbed[] = "Sample Flatbed";
inline constexpr char kFaultLab[] = "Sample Fault Lab";

inline std::string NameOf(const TW_IDENTITY& identity) {
  return std::string(identity.ProductName,
                     strnlen(identity.ProductName, sizeof(identity.ProductName)));
}

inline std::vector<TW_IDENTITY> ListSources() {
  std::vector<TW_IDENTITY> sources;
  TW_IDENTITY identity{};
  for (bool ok = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &identity); ok;
       ok = TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &identity)) {
    sources.push_back(identity);
    identity = {};
  }
  return sources;
}

// Opens the Source listed under that name, passing the identity as listed.
inline bool OpenSource(const char* name) {
  for (TW_IDENTITY identity : ListSources()) {
    if (NameOf(identity) == name) {
      return TWAIN_ManagerCall(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity);
    }
  }
  return false;
}

// A capability answer, copied out of the Source's block, which is freed.
struct Answer {
  TW_UINT16 conType = 0;
  std::vector<std::uint8_t> bytes;
};

inline bool GetCapability(TW_UINT16 msg, TW_UINT16 cap, Answer& answer) {
  TW_CAPABILITY record{cap, TWON_DONTCARE16, nullptr};
  const bool ok = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, msg, &record);
  if (record.hContainer) {
    platform::MemLockGuard lock(record.hContainer);
    const auto* data = static_cast<const std::uint8_t*>(lock.data());
    if (data) answer.bytes.assign(data, data + platform::MemSize(record.hContainer));
  }
  platform::MemFree(record.hContainer);
  answer.conType = record.ConType;
  return ok && !answer.bytes.empty();
}

inline bool SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value) {
  platform::MemoryHandle block = platform::MemAlloc(sizeof(TW_ONEVALUE));
  {
    platform::MemLockGuard lock(block);
    TW_ONEVALUE one{itemType, value};
    std::memcpy(lock.data(), &one, sizeof(one));
  }
  TW_CAPABILITY record{cap, TWON_ONEVALUE, block};
  const bool ok = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
  platform::MemFree(block);
  return ok;
}

inline TW_UINT16 CurrentUint16(TW_UINT16 cap) {
  Answer answer;
  if (!GetCapability(MSG_GETCURRENT, cap, answer) || answer.conType != TWON_ONEVALUE) return 0xFFFF;
  TW_UINT16 value;
  std::memcpy(&value, answer.bytes.data() + 2, sizeof(value));
  return value;
}

// Offers every message to the Source until it reports an event; the
// messages it does not claim are dispatched as an application would.
inline TW_UINT16 PumpForSourceEvent(std::uint32_t timeoutMs) {
  const std::uint32_t start = platform::TickCount();
  platform::Message message;
  while (platform::TickCount() - start < timeoutMs) {
    if (!platform::PeekRemoveMessage(message)) {
      Sleep(1);
      continue;
    }
    TW_EVENT event{&message, MSG_NULL};
    const bool claimed = TWAIN_DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (event.TWMessage != MSG_NULL) return event.TWMessage;
    if (!claimed) platform::TranslateDispatch(message);
  }
  return MSG_NULL;
}

}  // namespace sample_e2e
