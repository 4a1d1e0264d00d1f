#include "checks/conformance.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "checks/check_context.h"
#include "checks/stress_checks.h"
#include "checks/transfer_checks.h"
#include "pages/log.h"
#include "platform/memory.h"
#include "session/call_seam.h"
#include "session/record_guard.h"
#include "session/source_guard.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

// MSG_QUERYSUPPORT's answer: which operations the Source says it supports.
namespace {
constexpr int kQcGet = 0x0001;
constexpr int kQcSet = 0x0002;
constexpr int kQcGetDefault = 0x0004;
constexpr int kQcGetCurrent = 0x0008;
constexpr int kQcReset = 0x0010;
// A capability list longer than this is not walked.
constexpr int kMaxListed = 1024;
// An enumeration's first items are set and read back; more adds time, not faults.
constexpr int kMaxSetItems = 64;
}  // namespace

namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

std::string ResultText(int rc, int cc) {
  std::string text = ResultCodeName(rc);
  if (rc != TWRC_SUCCESS) text += ", " + ConditionCodeName(cc);
  return text;
}

// The containers the pass holds. A fault leaves the guarded code without
// running destructors; what the abandoned frames held is freed from here.
std::vector<ContainerHandle*>& Held() {
  static std::vector<ContainerHandle*> held;
  return held;
}
void FreeHeld() {
  for (ContainerHandle* h : Held()) CONTAINER_Free(h);
  Held().clear();
}

// One answer of the Source to a capability triplet; owns its container.
struct Answer {
  ContainerHandle* h = nullptr;
  int rc = TWRC_FAILURE;
  int cc = TWCC_SUCCESS;
  Answer() = default;
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;
  Answer(Answer&& other) noexcept : h(other.h), rc(other.rc), cc(other.cc) { other.h = nullptr; }
  ~Answer() {
    if (!h) return;
    std::erase(Held(), h);
    CONTAINER_Free(h);
  }
  void Hold(ContainerHandle* handle) {
    h = handle;
    if (h) Held().push_back(h);
  }
  bool ok() const { return h != nullptr; }
  std::string Text() const { return h || rc != TWRC_SUCCESS ? ResultText(rc, cc) : "no container"; }
};

std::string CapCall(TW_UINT16 msg, TW_UINT16 cap) {
  return MessageName(msg) + "(" + CapName(cap) + ")";
}
void Calling(CheckContext& context, TW_UINT16 msg, TW_UINT16 cap) {
  context.call.clear();
  context.capMessage = msg;
  context.cap = cap;
}

// The condition is asked for at once, before any other triplet can reset it.
void TakeCodes(Answer& answer, bool ok) {
  answer.rc = TWAIN_GetResultCode();
  answer.cc = ok ? TWCC_SUCCESS : TWAIN_GetConditionCode();
}

Answer Ask(CheckContext& context, TW_UINT16 msg, TW_UINT16 cap) {
  Calling(context, msg, cap);
  Answer answer;
  if (msg == MSG_GET) answer.Hold(TWAIN_Get(cap));
  if (msg == MSG_GETCURRENT) answer.Hold(TWAIN_GetCurrent(cap));
  if (msg == MSG_GETDEFAULT) answer.Hold(TWAIN_GetDefault(cap));
  TakeCodes(answer, answer.h != nullptr);
  return answer;
}

// MSG_SET of a container; TWRC_CHECKSTATUS counts as taken, the read-back
// tells whether the value was changed.
Answer Set(CheckContext& context, TW_UINT16 cap, const ContainerHandle* h) {
  Calling(context, MSG_SET, cap);
  Answer answer;
  const bool ok = TWAIN_SetCap(cap, h);
  TakeCodes(answer, ok);
  return answer;
}
bool Taken(const Answer& answer) {
  return answer.rc == TWRC_SUCCESS || answer.rc == TWRC_CHECKSTATUS;
}

// Operations the library has no call for, or whose container it would not free.
Answer Send(CheckContext& context, TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 conType) {
  Calling(context, msg, cap);
  TW_CAPABILITY record{cap, conType, nullptr};
  Answer answer;
  const bool ok = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, msg, &record);
  TakeCodes(answer, ok);
  if (ok && record.hContainer) {
    answer.Hold(CONTAINER_Attach(record.ConType, record.hContainer));
  } else {
    platform::MemFree(record.hContainer);
  }
  return answer;
}

// An item's bytes: inline up to a frame's 16, which every numeric item
// fits, since the pass copies hundreds of items; strings on the heap.
class ItemBytes {
 public:
  ItemBytes() = default;
  ItemBytes(const std::uint8_t* from, std::size_t size) : size_(size) {
    if (size <= kInline) {
      std::memcpy(inline_.data(), from, size);
    } else {
      heap_.assign(from, from + size);
    }
  }
  const std::uint8_t* data() const { return size_ <= kInline ? inline_.data() : heap_.data(); }
  std::size_t size() const { return size_; }
  bool operator==(const ItemBytes& other) const {
    return size_ == other.size_ && std::memcmp(data(), other.data(), size_) == 0;
  }

 private:
  static constexpr std::size_t kInline = 16;
  std::array<std::uint8_t, kInline> inline_{};
  std::vector<std::uint8_t> heap_;
  std::size_t size_ = 0;
};

// One item: its number (types up to TWTY_FIX32) and its bytes.
struct Item {
  int type = -1;
  double number = 0;
  ItemBytes bytes;
};

bool Numeric(int type) {
  return type >= TWTY_INT8 && type <= TWTY_FIX32;
}

std::optional<Item> ItemAt(const ContainerHandle* h, int n) {
  const int type = CONTAINER_ItemType(h);
  const int size = CONTAINER_ItemSize(type);
  const auto* item = static_cast<const std::uint8_t*>(CONTAINER_ItemPtr(h, n));
  if (!item || size <= 0) return std::nullopt;
  const auto* begin = static_cast<const std::uint8_t*>(h->data);
  if (item < begin || item + size > begin + h->size) return std::nullopt;
  return Item{type, Numeric(type) ? ReadItemNumber(item, type) : 0.0,
              ItemBytes(item, static_cast<std::size_t>(size))};
}

std::optional<Item> NumberItem(int type, double value) {
  ContainerHandle* h = CONTAINER_CreateOneValue(type, value);
  std::optional<Item> item = ItemAt(h, 0);
  CONTAINER_Free(h);
  return item;
}

// The value a one-value, an enumeration or a range holds as current (or default).
std::optional<Item> Selected(const ContainerHandle* h, bool current) {
  const int format = CONTAINER_Format(h);
  if (format == TWON_ONEVALUE) return ItemAt(h, 0);
  if (format == TWON_ENUMERATION) {
    const int index = current ? CONTAINER_CurrentIndex(h) : CONTAINER_DefaultIndex(h);
    if (index < 0 || index >= CONTAINER_ItemCount(h)) return std::nullopt;
    return ItemAt(h, index);
  }
  if (format == TWON_RANGE && Numeric(CONTAINER_ItemType(h)))
    return NumberItem(CONTAINER_ItemType(h),
                      current ? CONTAINER_CurrentValue(h) : CONTAINER_DefaultValue(h));
  return std::nullopt;
}

bool SameItem(const Item& a, const Item& b) {
  if (Numeric(a.type) && Numeric(b.type)) return a.number == b.number;
  if (a.type >= TWTY_STR32 && a.type <= TWTY_STR255 && a.type == b.type)
    return std::strncmp(reinterpret_cast<const char*>(a.bytes.data()),
                        reinterpret_cast<const char*>(b.bytes.data()), a.bytes.size()) == 0;
  return a.type == b.type && a.bytes == b.bytes;
}

std::string ItemString(int cap, const Item& item) {
  if (item.type >= TWTY_STR32 && item.type <= TWTY_STR255) {
    const auto* text = reinterpret_cast<const char*>(item.bytes.data());
    return "\"" + std::string(text, strnlen(text, item.bytes.size())) + "\"";
  }
  if (item.type == TWTY_FRAME && item.bytes.size() == 16) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
      TW_FIX32 part;
      std::memcpy(&part, item.bytes.data() + 4 * i, sizeof(part));
      text += (i ? ", " : "") + Format("%g", Fix32ToNumber(part));
    }
    return text;
  }
  if (!Numeric(item.type)) return ItemTypeName(item.type) + " item";
  if (item.type != TWTY_FIX32 && item.type != TWTY_BOOL) {
    if (auto name = ConstantName(cap, static_cast<int>(item.number))) return *name;
  }
  if (item.type == TWTY_BOOL) return item.number != 0 ? "TRUE" : "FALSE";
  return Format("%g", item.number);
}

// Whether item n of the container is the item, read where it lies: asked
// for every offered value, so no copy is made.
bool ItemIs(const ContainerHandle* h, int n, const Item& item) {
  const int type = CONTAINER_ItemType(h);
  const int size = CONTAINER_ItemSize(type);
  const auto* at = static_cast<const std::uint8_t*>(CONTAINER_ItemPtr(h, n));
  const auto* begin = static_cast<const std::uint8_t*>(h->data);
  if (!at || size <= 0 || at < begin || at + size > begin + h->size) return false;
  if (Numeric(type) && Numeric(item.type)) return ReadItemNumber(at, type) == item.number;
  if (type != item.type || static_cast<std::size_t>(size) != item.bytes.size()) return false;
  if (type >= TWTY_STR32 && type <= TWTY_STR255)
    return std::strncmp(reinterpret_cast<const char*>(at),
                        reinterpret_cast<const char*>(item.bytes.data()), item.bytes.size()) == 0;
  return std::memcmp(at, item.bytes.data(), item.bytes.size()) == 0;
}

// Whether the values MSG_GET offers include the item.
bool Offers(const ContainerHandle* h, const Item& item) {
  switch (CONTAINER_Format(h)) {
    case TWON_ONEVALUE:
      return ItemIs(h, 0, item);
    case TWON_ENUMERATION:
      for (int n = 0; n < CONTAINER_ItemCount(h); ++n) {
        if (ItemIs(h, n, item)) return true;
      }
      return false;
    case TWON_RANGE:
      return Numeric(item.type) && item.number >= CONTAINER_RangeMin(h) &&
             item.number <= CONTAINER_RangeMax(h);
    default:
      return true;  // an array offers no choice to lie within
  }
}

// The values worth setting: each item of an enumeration (the first 64), a
// range's minimum, maximum and current value, a one-value's value.
std::vector<Item> OfferedValues(const ContainerHandle* h) {
  std::vector<Item> values;
  values.reserve(static_cast<std::size_t>(std::clamp(CONTAINER_ItemCount(h), 3, kMaxSetItems)));
  auto add = [&values](std::optional<Item> item) {
    if (!item) return;
    for (const Item& known : values) {
      if (SameItem(known, *item)) return;
    }
    values.push_back(std::move(*item));
  };
  const int type = CONTAINER_ItemType(h);
  switch (CONTAINER_Format(h)) {
    case TWON_ONEVALUE:
      add(ItemAt(h, 0));
      break;
    case TWON_ENUMERATION:
      for (int n = 0; n < std::min(CONTAINER_ItemCount(h), kMaxSetItems); ++n) add(ItemAt(h, n));
      break;
    case TWON_RANGE:
      if (!Numeric(type)) break;
      add(NumberItem(type, CONTAINER_RangeMin(h)));
      add(NumberItem(type, CONTAINER_RangeMax(h)));
      add(NumberItem(type, CONTAINER_CurrentValue(h)));
      break;
    default:
      break;
  }
  return values;
}

ContainerHandle* OneValueOf(const Item& item) {
  ContainerHandle* h = CONTAINER_CreateOneValue(item.type, 0);
  void* slot = CONTAINER_ItemPtr(h, 0);
  if (slot) std::memcpy(slot, item.bytes.data(), item.bytes.size());
  return h;
}

// Capabilities TWAIN defines as read-only: a refused MSG_SET is their due.
bool ReadOnly(TW_UINT16 cap) {
  constexpr TW_UINT16 kReadOnly[] = {
      CAP_SUPPORTEDCAPS,   CAP_UICONTROLLABLE,     CAP_DEVICEONLINE,       ICAP_PHYSICALWIDTH,
      ICAP_PHYSICALHEIGHT, ICAP_XNATIVERESOLUTION, ICAP_YNATIVERESOLUTION, CAP_SUPPORTEDCAPSEXT,
      CAP_ENABLEDSUIONLY,  CAP_CUSTOMDSDATA,       CAP_PAPERDETECTABLE,    CAP_FEEDERLOADED,
      CAP_CAMERAPREVIEWUI, CAP_BATTERYMINUTES,     CAP_BATTERYPERCENTAGE,  CAP_POWERSUPPLY,
      CAP_SERIALNUMBER,    CAP_REACQUIREALLOWED,   ICAP_MINIMUMWIDTH,      ICAP_MINIMUMHEIGHT};
  return std::find(std::begin(kReadOnly), std::end(kReadOnly), cap) != std::end(kReadOnly);
}

// The operations MSG_QUERYSUPPORT claims for the capability (asked once a
// pass), or -1 when the Source does not answer it.
int Claimed(CheckContext& context, TW_UINT16 cap);

// A refusal the Source owes no apology for: the capability is read-only, the
// Source says so, or its own MSG_QUERYSUPPORT does not claim the operation.
bool RefusedAsUnsupported(CheckContext& context, TW_UINT16 cap, int operation,
                          const Answer& answer) {
  if (ReadOnly(cap) || answer.cc == TWCC_CAPBADOPERATION) return true;
  const int claimed = Claimed(context, cap);
  return claimed >= 0 && !(claimed & operation);
}

// ---- identity ----

void IdentityStrings(CheckContext& context) {
  TW_IDENTITY identity{};
  TWAIN_CopySourceIdentity(&identity);
  context.call = TripletText(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  const struct {
    const char* name;
    const char* field;
  } fields[] = {{"Version.Info", identity.Version.Info},
                {"Manufacturer", identity.Manufacturer},
                {"ProductFamily", identity.ProductFamily},
                {"ProductName", identity.ProductName}};
  for (const auto& field : fields) {
    if (std::memchr(field.field, 0, sizeof(TW_STR32)) == nullptr)
      context.Find(-1, std::string(field.name) + " ends with a zero byte within its 34 bytes",
                   "34 bytes without a zero");
  }
}

void IdentityProtocol(CheckContext& context) {
  TW_IDENTITY identity{};
  TWAIN_CopySourceIdentity(&identity);
  context.call = TripletText(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  const bool plausible =
      (identity.ProtocolMajor == 1 || identity.ProtocolMajor == 2) && identity.ProtocolMinor <= 9;
  if (!plausible)
    context.Find(-1, "ProtocolMajor 1 or 2, ProtocolMinor 0 to 9",
                 "ProtocolMajor " + std::to_string(identity.ProtocolMajor) + ", ProtocolMinor " +
                     std::to_string(identity.ProtocolMinor));
}

void IdentityGroups(CheckContext& context) {
  TW_IDENTITY identity{};
  TWAIN_CopySourceIdentity(&identity);
  context.call = TripletText(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  constexpr TW_UINT32 kNeeded = DG_CONTROL | DG_IMAGE;
  if ((identity.SupportedGroups & kNeeded) != kNeeded) {
    char came[40];
    std::snprintf(came, sizeof(came), "SupportedGroups 0x%08x",
                  static_cast<unsigned>(identity.SupportedGroups));
    context.Find(-1, "SupportedGroups with DG_CONTROL and DG_IMAGE", came);
  }
}

// Words of memory nobody wrote: debug heaps and stacks, freed blocks.
bool LooksUnwritten(TW_UINT16 value) {
  constexpr TW_UINT16 kFills[] = {0xCCCC, 0xCDCD, 0xDDDD, 0xFDFD, 0xFEEE, 0xABAB, 0xBAAD, 0xFEFE};
  return std::find(std::begin(kFills), std::end(kFills), value) != std::end(kFills);
}
// The TWLG_ codes stay in the hundreds (and -1, the user's locale); the
// TWCY_ codes are telephone country codes.
constexpr TW_UINT16 kMaxLanguage = 999;
constexpr TW_UINT16 kMaxCountry = 9999;

void IdentityVersion(CheckContext& context) {
  TW_IDENTITY identity{};
  TWAIN_CopySourceIdentity(&identity);
  context.call = TripletText(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS);
  const TW_VERSION& version = identity.Version;
  std::string came;
  auto field = [&came](const char* name, TW_UINT16 value, bool plausible) {
    if (plausible) return;
    char text[40];
    std::snprintf(text, sizeof(text), "%s%s 0x%04x", came.empty() ? "" : ", ", name, value);
    came += text;
  };
  field("MajorNum", version.MajorNum, !LooksUnwritten(version.MajorNum));
  field("MinorNum", version.MinorNum, !LooksUnwritten(version.MinorNum));
  field("Language", version.Language,
        version.Language <= kMaxLanguage || version.Language == 0xFFFF);
  field("Country", version.Country, version.Country <= kMaxCountry);
  if (!came.empty())
    context.Find(-1,
                 "Version set: MajorNum and MinorNum no fill pattern, Language a TWLG_ code, "
                 "Country a TWCY_ code",
                 came);
}

// ---- status ----

// A triplet that belongs to a later state, sent in state 4. A Source that
// takes it may move the library's state number; it is put back, since the
// Source was never enabled.
void WrongState(CheckContext& context, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF record) {
  context.call = TripletText(DG_CONTROL, dat, msg);
  context.cap = -1;
  if (dat == DAT_IMAGEINFO) context.call = TripletText(DG_IMAGE, dat, msg);
  const int state = TWAIN_State();
  const bool ok = TWAIN_DS(dat == DAT_IMAGEINFO ? DG_IMAGE : DG_CONTROL, dat, msg, record);
  const int rc = TWAIN_GetResultCode();
  const int cc = ok ? TWCC_SUCCESS : TWAIN_GetConditionCode();
  std::string came = ResultText(rc, cc);
  if (TWAIN_State() != state) {
    came += " (the library's state went to " + std::to_string(TWAIN_State()) + "; put back)";
    TWAIN_SetState(state);
  }
  if (rc != TWRC_FAILURE || cc != TWCC_SEQERROR)
    context.Find(-1, "TWRC_FAILURE, TWCC_SEQERROR in state 4", came);
}

void StatusSeqError(CheckContext& context) {
  TW_IMAGEINFO info{};
  WrongState(context, DAT_IMAGEINFO, MSG_GET, &info);
  TW_PENDINGXFERS pending{};
  WrongState(context, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
}

void ReadList(CheckContext& context);

// A standard capability the Source does not list stands for an unknown one.
void StatusCapUnsupported(CheckContext& context) {
  ReadList(context);
  constexpr TW_UINT16 kCandidates[] = {ICAP_LAMPSTATE, ICAP_AUTOBRIGHT, CAP_DEVICEONLINE,
                                       CAP_UICONTROLLABLE};
  for (TW_UINT16 cap : kCandidates) {
    if (std::find(context.listed.begin(), context.listed.end(), cap) != context.listed.end())
      continue;
    Answer get = Ask(context, MSG_GET, cap);
    const bool before2 = context.result.version < 200;
    const bool right = get.rc == TWRC_FAILURE &&
                       (get.cc == TWCC_CAPUNSUPPORTED || (before2 && get.cc == TWCC_BADCAP));
    if (!right)
      context.Find(cap,
                   before2 ? "TWRC_FAILURE, TWCC_CAPUNSUPPORTED or TWCC_BADCAP for a capability "
                             "not listed"
                           : "TWRC_FAILURE, TWCC_CAPUNSUPPORTED for a capability not listed",
                   get.Text());
    return;
  }
}

// ---- mandatory ----

void ReadList(CheckContext& context) {
  if (context.listRead) return;
  context.listRead = true;
  Answer get = Ask(context, MSG_GET, CAP_SUPPORTEDCAPS);
  if (!get.ok() || CONTAINER_Format(get.h) != TWON_ARRAY) return;
  const int count = std::min(CONTAINER_ItemCount(get.h), kMaxListed);
  for (int n = 0; n < count; ++n) {
    auto item = ItemAt(get.h, n);
    if (!item || !Numeric(item->type)) break;
    const auto cap = static_cast<TW_UINT16>(item->number);
    if (std::find(context.listed.begin(), context.listed.end(), cap) == context.listed.end())
      context.listed.push_back(cap);
  }
}

void MandatorySupportedCaps(CheckContext& context) {
  Answer get = Ask(context, MSG_GET, CAP_SUPPORTEDCAPS);
  if (!get.ok()) {
    context.Find(CAP_SUPPORTEDCAPS, "TWRC_SUCCESS with an array of TWTY_UINT16", get.Text());
  } else if (CONTAINER_Format(get.h) != TWON_ARRAY ||
             !ItemTypesCompatible(CONTAINER_ItemType(get.h), TWTY_UINT16)) {
    context.Find(CAP_SUPPORTEDCAPS, "an array of TWTY_UINT16",
                 "container type " + std::to_string(CONTAINER_Format(get.h)) + " of " +
                     ItemTypeName(CONTAINER_ItemType(get.h)));
  }
}

void MandatoryGet(CheckContext& context) {
  struct Needed {
    TW_UINT16 cap;
    int fromVersion;
  };
  constexpr Needed kNeeded[] = {
      {CAP_XFERCOUNT, 100},      {CAP_UICONTROLLABLE, 106}, {ICAP_XFERMECH, 100},
      {ICAP_PIXELTYPE, 100},     {ICAP_UNITS, 100},         {ICAP_BITDEPTH, 100},
      {ICAP_XRESOLUTION, 100},   {ICAP_YRESOLUTION, 100},   {ICAP_COMPRESSION, 100},
      {ICAP_PHYSICALWIDTH, 100}, {ICAP_PHYSICALHEIGHT, 100}};
  for (const Needed& needed : kNeeded) {
    if (context.result.version < needed.fromVersion) continue;
    Answer get = Ask(context, MSG_GET, needed.cap);
    if (!get.ok()) context.Find(needed.cap, "TWRC_SUCCESS with a container", get.Text());
  }
}

// ---- every listed capability ----

void CapsGet(CheckContext& context) {
  ReadList(context);
  for (TW_UINT16 cap : context.listed) {
    Answer get = Ask(context, MSG_GET, cap);
    if (!get.ok()) context.Find(cap, "TWRC_SUCCESS with a container", get.Text());
  }
}

// An enumeration or array whose NumItems claims more items than its block holds.
std::optional<std::string> Overcount(const ContainerHandle* h) {
  const int format = CONTAINER_Format(h);
  const int size = CONTAINER_ItemSize(CONTAINER_ItemType(h));
  if ((format != TWON_ENUMERATION && format != TWON_ARRAY) || size <= 0 || h->size < 6)
    return std::nullopt;
  TW_UINT32 claimed = 0;
  std::memcpy(&claimed, static_cast<const std::uint8_t*>(h->data) + 2, sizeof(claimed));
  const std::size_t start = format == TWON_ENUMERATION ? 14 : 6;
  const std::size_t room = h->size > start ? (h->size - start) / size : 0;
  if (claimed <= room) return std::nullopt;
  return "NumItems " + std::to_string(claimed) + " in a block of " + std::to_string(h->size) +
         " bytes, room for " + std::to_string(room);
}

void CapsContainer(CheckContext& context) {
  ReadList(context);
  for (TW_UINT16 cap : context.listed) {
    Answer get = Ask(context, MSG_GET, cap);
    if (!get.ok()) continue;
    const int getType = CONTAINER_ItemType(get.h);
    const int format = CONTAINER_Format(get.h);
    if (format < TWON_ARRAY || format > TWON_RANGE || CONTAINER_ItemSize(getType) <= 0) {
      context.Find(cap, "an array, enumeration, one-value or range of a TWTY_ type",
                   "container type " + std::to_string(format) + " of " + ItemTypeName(getType));
      continue;
    }
    if (auto overcount = Overcount(get.h))
      context.Find(cap, "no more items than the block holds", *overcount);
    for (TW_UINT16 msg : {TW_UINT16{MSG_GETCURRENT}, TW_UINT16{MSG_GETDEFAULT}}) {
      Answer one = Ask(context, msg, cap);
      if (!one.ok()) continue;
      if (auto overcount = Overcount(one.h))
        context.Find(cap, "no more items than the block holds", *overcount);
      const int oneFormat = CONTAINER_Format(one.h);
      // A range holds no one value; an array answers for array capabilities alone.
      const bool allowed = oneFormat == TWON_ONEVALUE || oneFormat == TWON_ENUMERATION ||
                           (oneFormat == TWON_ARRAY && format == TWON_ARRAY);
      if (!allowed) {
        context.Find(cap, "a one-value (or an array when MSG_GET answers one)",
                     "container type " + std::to_string(oneFormat));
      } else if (!ItemTypesCompatible(CONTAINER_ItemType(one.h), getType)) {
        context.Find(cap, "items of MSG_GET's type " + ItemTypeName(getType),
                     ItemTypeName(CONTAINER_ItemType(one.h)));
      }
    }
  }
}

void CapsWithin(CheckContext& context) {
  ReadList(context);
  for (TW_UINT16 cap : context.listed) {
    Answer get = Ask(context, MSG_GET, cap);
    if (!get.ok()) continue;
    if (auto current = Selected(get.h, true); !current && CONTAINER_Format(get.h) != TWON_ARRAY)
      context.Find(cap, "a current value inside MSG_GET's answer",
                   "CurrentIndex beyond NumItems or no item");
    for (TW_UINT16 msg : {TW_UINT16{MSG_GETCURRENT}, TW_UINT16{MSG_GETDEFAULT}}) {
      // A one-value MSG_GET states the current value, not the values allowed:
      // a Source that remembers its user's settings has another default.
      if (msg == MSG_GETDEFAULT && CONTAINER_Format(get.h) == TWON_ONEVALUE) continue;
      Answer one = Ask(context, msg, cap);
      if (!one.ok()) continue;
      auto value = Selected(one.h, msg == MSG_GETCURRENT);
      if (value && !Offers(get.h, *value))
        context.Find(cap, "a value MSG_GET offers", ItemString(cap, *value));
    }
  }
}

bool Succeeds(CheckContext& context, TW_UINT16 msg, TW_UINT16 cap) {
  return Ask(context, msg, cap).ok();
}

// What MSG_QUERYSUPPORT claims against what the operations do; SET and
// RESET are tried with the current value, which is put back.
struct Support {
  int flags = 0;  // claimed
  int works = 0;  // found
  bool answered = false;
};
int Claimed(CheckContext& context, TW_UINT16 cap) {
  if (context.result.version < 108) return -1;  // no MSG_QUERYSUPPORT before 1.8
  for (const auto& [known, flags] : context.claimed) {
    if (known == cap) return flags;
  }
  Answer query = Send(context, MSG_QUERYSUPPORT, cap, TWON_ONEVALUE);
  const int flags = query.ok() && CONTAINER_Format(query.h) == TWON_ONEVALUE
                        ? CONTAINER_IntValue(query.h, 0)
                        : -1;
  context.claimed.emplace_back(cap, flags);
  return flags;
}

Support QuerySupport(CheckContext& context, TW_UINT16 cap) {
  Support support;
  const int claimed = Claimed(context, cap);
  if (claimed < 0) return support;
  support.answered = true;
  support.flags = claimed;
  if (Succeeds(context, MSG_GET, cap)) support.works |= kQcGet;
  if (Succeeds(context, MSG_GETDEFAULT, cap)) support.works |= kQcGetDefault;
  Answer current = Ask(context, MSG_GETCURRENT, cap);
  if (current.ok()) support.works |= kQcGetCurrent;
  if (current.ok() && Taken(Set(context, cap, current.h))) support.works |= kQcSet;
  if (Send(context, MSG_RESET, cap, TWON_DONTCARE16).rc == TWRC_SUCCESS) support.works |= kQcReset;
  if (current.ok() && (support.works & kQcSet)) Set(context, cap, current.h);
  return support;
}

constexpr struct {
  int flag;
  const char* message;
} kOperations[] = {{kQcGet, "MSG_GET"},
                   {kQcSet, "MSG_SET"},
                   {kQcGetDefault, "MSG_GETDEFAULT"},
                   {kQcGetCurrent, "MSG_GETCURRENT"},
                   {kQcReset, "MSG_RESET"}};

void QuerySupportCheck(CheckContext& context, bool claimedButFailing) {
  ReadList(context);
  for (TW_UINT16 cap : context.listed) {
    const Support support = QuerySupport(context, cap);
    if (!support.answered) continue;
    Calling(context, MSG_QUERYSUPPORT, cap);
    // One finding a capability, naming every operation that disagrees.
    std::string operations;
    for (const auto& operation : kOperations) {
      const bool claimed = support.flags & operation.flag;
      const bool works = support.works & operation.flag;
      if (claimed != works && claimed == claimedButFailing)
        operations += (operations.empty() ? "" : ", ") + std::string(operation.message);
    }
    if (operations.empty()) continue;
    if (claimedButFailing)
      context.Find(cap, "every operation claimed succeeds", "failing: " + operations);
    else
      context.Find(cap, "every operation that succeeds claimed", "not claimed: " + operations);
  }
}
void CapsQuerySupport(CheckContext& context) {
  QuerySupportCheck(context, true);
}
void CapsQuerySupportUnclaimed(CheckContext& context) {
  QuerySupportCheck(context, false);
}

// Sets every value MSG_GET offers and reads each back. MSG_GET is asked
// again before each value: a value another setting withdrew is skipped, not
// flagged. The Source's current value is put back at the end.
void SetReadBack(CheckContext& context, TW_UINT16 cap) {
  Answer get = Ask(context, MSG_GET, cap);
  Answer original = Ask(context, MSG_GETCURRENT, cap);
  if (!get.ok() || !original.ok()) return;
  const std::vector<Item> values = OfferedValues(get.h);
  bool changed = false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const Item& value = values[i];
    if (i > 0) {
      Answer again = Ask(context, MSG_GET, cap);
      if (!again.ok() || !Offers(again.h, value)) continue;
    }
    Answer one;
    one.Hold(OneValueOf(value));
    Answer set = Set(context, cap, one.h);
    if (!Taken(set)) {
      if (RefusedAsUnsupported(context, cap, kQcSet, set)) break;
      context.Find(cap, "MSG_SET of " + ItemString(cap, value) + ", which MSG_GET offers, succeeds",
                   set.Text());
      continue;
    }
    changed = true;
    // TWRC_CHECKSTATUS: the Source took the nearest value it could, as TWAIN allows.
    if (set.rc == TWRC_CHECKSTATUS) continue;
    Answer back = Ask(context, MSG_GETCURRENT, cap);
    auto now = back.ok() ? Selected(back.h, true) : std::nullopt;
    if (!now || !SameItem(*now, value))
      context.Find(cap, ItemString(cap, value) + " read back after MSG_SET",
                   now ? ItemString(cap, *now) : back.Text());
  }
  if (changed && !Taken(Set(context, cap, original.h)))
    context.Find(cap, "the original value put back by MSG_SET", "refused");
}

void CapsSetReadBack(CheckContext& context) {
  ReadList(context);
  for (TW_UINT16 cap : context.listed) SetReadBack(context, cap);
}

void CapsReset(CheckContext& context) {
  ReadList(context);
  for (TW_UINT16 cap : context.listed) {
    Answer original = Ask(context, MSG_GETCURRENT, cap);
    Answer fallback = Ask(context, MSG_GETDEFAULT, cap);
    if (!original.ok() || !fallback.ok()) continue;
    auto expected = Selected(fallback.h, false);
    Answer reset = Send(context, MSG_RESET, cap, TWON_DONTCARE16);
    if (reset.rc != TWRC_SUCCESS) {
      if (!RefusedAsUnsupported(context, cap, kQcReset, reset))
        context.Find(cap, "TWRC_SUCCESS", reset.Text());
      continue;
    }
    Answer now = Ask(context, MSG_GETCURRENT, cap);
    auto value = now.ok() ? Selected(now.h, true) : std::nullopt;
    if (expected && (!value || !SameItem(*value, *expected))) {
      context.call = CapCall(MSG_RESET, cap);
      context.Find(cap, "the default " + ItemString(cap, *expected) + " current after MSG_RESET",
                   value ? ItemString(cap, *value) : now.Text());
    }
    Set(context, cap, original.h);
  }
}

// 2.x: one triplet puts every capability back to its default. Each listed
// capability is first moved off its default where it lets itself be; the
// values from before are put back after.
constexpr TW_UINT16 kMsgResetAll = 0x0A01;

void CapsResetAll(CheckContext& context) {
  ReadList(context);
  struct Moved {
    TW_UINT16 cap;
    Answer original;
    Item fallback;
  };
  std::vector<Moved> moved;
  // Every default is read before any value moves: one may depend on another.
  for (TW_UINT16 cap : context.listed) {
    if (ReadOnly(cap)) continue;
    Answer original = Ask(context, MSG_GETCURRENT, cap);
    Answer fallback = Ask(context, MSG_GETDEFAULT, cap);
    if (!original.ok() || !fallback.ok()) continue;
    if (auto expected = Selected(fallback.h, false))
      moved.push_back({cap, std::move(original), std::move(*expected)});
  }
  for (const Moved& each : moved) {
    Answer get = Ask(context, MSG_GET, each.cap);
    if (!get.ok()) continue;
    for (const Item& value : OfferedValues(get.h)) {
      if (SameItem(value, each.fallback)) continue;
      Answer one;
      one.Hold(OneValueOf(value));
      if (Taken(Set(context, each.cap, one.h))) break;
    }
  }
  context.call = "MSG_RESETALL";
  context.cap = -1;
  TW_CAPABILITY record{0, TWON_DONTCARE16, nullptr};
  const bool ok = TWAIN_DS(DG_CONTROL, DAT_CAPABILITY, kMsgResetAll, &record);
  Answer reset;
  TakeCodes(reset, ok);
  platform::MemFree(record.hContainer);
  if (reset.rc != TWRC_SUCCESS) {
    context.Find(-1, "TWRC_SUCCESS", reset.Text());
  } else {
    for (const Moved& each : moved) {
      Answer now = Ask(context, MSG_GETCURRENT, each.cap);
      auto value = now.ok() ? Selected(now.h, true) : std::nullopt;
      if (value && SameItem(*value, each.fallback)) continue;
      context.call = "MSG_RESETALL";
      context.Find(each.cap,
                   "the default " + ItemString(each.cap, each.fallback) + " current after it",
                   value ? ItemString(each.cap, *value) : now.Text());
    }
  }
  for (const Moved& each : moved) Set(context, each.cap, each.original.h);
}

// ---- records ----

// What the guard after each record caught during the pass: one finding for
// each triplet and record, however often it happened.
void RecordsGuard(CheckContext& context) {
  const std::vector<RecordOverrun>& overruns = RecordOverruns();
  struct Seen {
    const RecordOverrun* first;
    int times = 0;
    std::size_t most = 0;
  };
  std::vector<Seen> seen;
  for (std::size_t i = context.overrunsBefore; i < overruns.size(); ++i) {
    const RecordOverrun& overrun = overruns[i];
    auto same = std::find_if(seen.begin(), seen.end(), [&overrun](const Seen& s) {
      return s.first->call == overrun.call && s.first->record == overrun.record;
    });
    if (same == seen.end()) same = seen.insert(seen.end(), Seen{&overrun});
    ++same->times;
    same->most = std::max(same->most, overrun.bytes);
  }
  for (const Seen& each : seen) {
    context.call = each.first->call;
    context.Find(-1, "nothing written past the end of " + each.first->record,
                 (each.times > 1 ? std::to_string(each.times) + " times, up to " : std::string()) +
                     std::to_string(each.most) + " byte(s) of the guard after it overwritten");
  }
  const std::size_t unkept = RecordOverrunCount() - overruns.size();
  if (unkept > 0) {
    context.call = "later calls";
    context.Find(-1, "nothing written past the end of a record",
                 std::to_string(unkept) + " more overrun(s), not kept");
  }
}

// ---- CAP_XFERCOUNT ----

void XferCountOne(CheckContext& context) {
  Answer original = Ask(context, MSG_GETCURRENT, CAP_XFERCOUNT);
  Answer one;
  one.Hold(CONTAINER_CreateOneValue(TWTY_INT16, 1));
  Answer set = Set(context, CAP_XFERCOUNT, one.h);
  if (!Taken(set)) {
    context.Find(CAP_XFERCOUNT, "MSG_SET of 1 succeeds", set.Text());
    return;
  }
  Answer back = Ask(context, MSG_GETCURRENT, CAP_XFERCOUNT);
  auto value = back.ok() ? Selected(back.h, true) : std::nullopt;
  if (!value || !Numeric(value->type) || value->number != 1)
    context.Find(CAP_XFERCOUNT, "1 read back after MSG_SET",
                 value ? ItemString(CAP_XFERCOUNT, *value) : back.Text());
  if (original.ok()) Set(context, CAP_XFERCOUNT, original.h);
}

constexpr CheckRow kChecks[] = {
    {"identity.strings", "identity", Severity::kError,
     "The identity's strings end with a zero byte within their 34-byte fields", 100,
     IdentityStrings},
    {"identity.protocol", "identity", Severity::kError,
     "ProtocolMajor is 1 or 2 and ProtocolMinor 0 to 9", 100, IdentityProtocol},
    {"identity.version", "identity", Severity::kError,
     "The identity's Version is set: MajorNum and MinorNum are no fill pattern of unwritten "
     "memory, Language a TWLG_ code, Country a TWCY_ code",
     100, IdentityVersion},
    {"identity.groups", "identity", Severity::kError,
     "SupportedGroups includes DG_CONTROL and DG_IMAGE", 100, IdentityGroups},
    {"status.seqerror", "status", Severity::kError,
     "DAT_IMAGEINFO MSG_GET and DAT_PENDINGXFERS MSG_ENDXFER in state 4 answer TWRC_FAILURE, "
     "TWCC_SEQERROR",
     100, StatusSeqError},
    {"status.capunsupported", "status", Severity::kError,
     "A capability the Source does not list answers TWCC_CAPUNSUPPORTED (TWCC_BADCAP before 2.0)",
     100, StatusCapUnsupported},
    {"mandatory.supportedcaps", "mandatory", Severity::kError,
     "CAP_SUPPORTEDCAPS answers MSG_GET with an array of TWTY_UINT16", 100, MandatorySupportedCaps},
    {"mandatory.get", "mandatory", Severity::kError,
     "CAP_XFERCOUNT, CAP_UICONTROLLABLE (1.6), ICAP_XFERMECH, ICAP_PIXELTYPE, ICAP_UNITS, "
     "ICAP_BITDEPTH, ICAP_XRESOLUTION, ICAP_YRESOLUTION, ICAP_COMPRESSION, ICAP_PHYSICALWIDTH "
     "and ICAP_PHYSICALHEIGHT answer MSG_GET",
     100, MandatoryGet},
    {"caps.get", "capabilities", Severity::kError,
     "Every listed capability answers MSG_GET with a container", 100, CapsGet},
    {"caps.container", "capabilities", Severity::kError,
     "MSG_GET answers a known container type and item type; MSG_GETCURRENT and MSG_GETDEFAULT "
     "no range, and items of MSG_GET's type; no list claims more items than its block holds",
     100, CapsContainer},
    {"caps.within", "capabilities", Severity::kError,
     "The current and default values lie within the values MSG_GET offers", 100, CapsWithin},
    {"caps.querysupport", "capabilities", Severity::kError,
     "Every operation MSG_QUERYSUPPORT claims succeeds", 108, CapsQuerySupport},
    {"caps.querysupport-unclaimed", "capabilities", Severity::kWarning,
     "MSG_QUERYSUPPORT claims every operation that succeeds", 108, CapsQuerySupportUnclaimed},
    {"caps.set-readback", "capabilities", Severity::kError,
     "Every value MSG_GET offers (an enumeration's first 64 items; a range's minimum, maximum "
     "and current value) can be set and reads back; the value is put back after",
     100, CapsSetReadBack},
    {"caps.reset", "capabilities", Severity::kError, "MSG_RESET makes the default value current",
     100, CapsReset},
    {"caps.resetall", "capabilities", Severity::kError,
     "MSG_RESETALL makes every capability's default value current", 200, CapsResetAll},
    {"xfercount.one", "xfercount", Severity::kError,
     "CAP_XFERCOUNT can be set to 1 and reads back 1", 100, XferCountOne},
    {"transfer.ready", "transfer", Severity::kError,
     "For each mechanism ICAP_XFERMECH offers, MSG_ENABLEDS with ShowUI FALSE is followed by "
     "MSG_XFERREADY within 10 s",
     100, TransferReady},
    {"transfer.imageinfo", "transfer", Severity::kError,
     "DAT_IMAGEINFO succeeds in state 6, and its width, height and bits per pixel are those of the "
     "image a native or file transfer brings",
     100, TransferImageInfo},
    {"transfer.native", "transfer", Severity::kError,
     "A native transfer hands back a DIB in global memory (not an HBITMAP) whose header fits its "
     "block",
     100, TransferNative},
    {"transfer.memory", "transfer", Severity::kError,
     "DAT_SETUPMEMXFER gives 0 < MinBufSize <= Preferred <= MaxBufSize; memory strips stay inside "
     "their buffer, follow one another without overlap or gap and add up to ImageLength",
     100, TransferMemory},
    {"transfer.file", "transfer", Severity::kError,
     "A file transfer writes a file of the format asked, which the probe can read", 100,
     TransferFile},
    {"transfer.pending", "transfer", Severity::kError,
     "With CAP_XFERCOUNT 1 one image comes: DAT_PENDINGXFERS counts 1 (or -1) before it, 0 after "
     "MSG_ENDXFER, and MSG_RESET answers 0",
     100, TransferPending},
    {"transfer.no-pump", "transfer", Severity::kWarning,
     "MSG_ENABLEDS with ShowUI FALSE returns without dispatching the application's waiting "
     "messages: a Source hands its events back through MSG_PROCESSEVENT",
     100, TransferNoPump},
    {"transfer.enable-checkstatus", "transfer", Severity::kNote,
     "MSG_ENABLEDS with ShowUI FALSE answers TWRC_SUCCESS; TWRC_CHECKSTATUS (the Source enabled "
     "itself other than asked, which TWAIN allows) is noted",
     100, TransferEnableCheckStatus},
    {"transfer.pending-unknown", "transfer", Severity::kNote,
     "With CAP_XFERCOUNT 1, DAT_PENDINGXFERS counts 1 before the image; -1 (unknown, which TWAIN "
     "allows) is noted",
     100, TransferPendingUnknown},
    {"stress.openclose", "stress", Severity::kError,
     "The Source closes and opens again 20 times (a setting) without a failure, and the blocks "
     "the probe holds and the process's private bytes do not grow beyond a small bound",
     100, StressOpenClose},
    {"stress.enable", "stress", Severity::kError,
     "The Source is enabled without its user interface and disabled again 20 times without a "
     "failure, and the blocks the probe holds and the private bytes do not grow beyond a small "
     "bound",
     100, StressEnableDisable},
    {"ui.shown", "ui", Severity::kError,
     "Only with --with-ui: MSG_ENABLEDS with ShowUI TRUE succeeds, no MSG_XFERREADY comes within "
     "2 s unasked, MSG_DISABLEDS takes the dialog down; a Source whose CAP_UICONTROLLABLE is not "
     "TRUE answers MSG_ENABLEDS with ShowUI FALSE with TWRC_CHECKSTATUS or TWRC_FAILURE",
     100, UiShown},
    {"records.guard", "records", Severity::kError,
     "No Source writes past the published size of a record the probe hands it (capability, user "
     "interface, pending transfers, image info, layout, memory transfer, setup mem/file, status, "
     "event) or past an identity, in any call of the pass",
     100, RecordsGuard},
};

constexpr const char* kGroups[] = {"identity", "status", "mandatory", "capabilities", "xfercount",
                                   "transfer", "stress", "ui",        "records"};

// The current value of every listed capability the Source lets be set,
// before the capability checks change any; PutBack restores from it what
// a check changed by the way (a SET that moves another capability).
void TakeSnapshot(CheckContext& context) {
  context.snapshotTaken = true;
  ReadList(context);
  for (TW_UINT16 cap : context.listed) {
    if (ReadOnly(cap)) continue;
    Calling(context, MSG_GETCURRENT, cap);
    if (ContainerHandle* h = TWAIN_GetCurrent(cap)) context.snapshot.emplace_back(cap, h);
  }
}

bool SameValue(const ContainerHandle* a, const ContainerHandle* b) {
  auto x = Selected(a, true);
  auto y = Selected(b, true);
  if (x && y) return SameItem(*x, *y);
  if (x || y) return false;
  return a->size == b->size && std::memcmp(a->data, b->data, a->size) == 0;
}

std::string SnapshotText(TW_UINT16 cap, const ContainerHandle* h) {
  auto item = Selected(h, true);
  return item ? ItemString(cap, *item) : "its earlier array";
}

void PutBack(CheckContext& context) {
  context.row = nullptr;
  for (auto& [cap, before] : context.snapshot) {
    Answer now = Ask(context, MSG_GETCURRENT, cap);
    if (now.ok() && SameValue(now.h, before)) continue;
    Set(context, cap, before);
    Answer after = Ask(context, MSG_GETCURRENT, cap);
    if (after.ok() && SameValue(after.h, before)) {
      LogNote("Check Source: %s put back to %s", CapName(cap).c_str(),
              SnapshotText(cap, before).c_str());
      continue;
    }
    const std::string text = CapName(cap) + " is " +
                             (after.ok() ? SnapshotText(cap, after.h) : after.Text()) + ", was " +
                             SnapshotText(cap, before);
    LogNote("Check Source: could not put back %s", text.c_str());
    context.result.notRestored.push_back(text);
  }
}

}  // namespace

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      return "note";
  }
  return "?";
}

CheckSettings& TheCheckSettings() {
  static CheckSettings settings;
  return settings;
}

std::span<const CheckRow> CheckTable() {
  return kChecks;
}

std::span<const char* const> CheckGroups() {
  return kGroups;
}

int CheckScore(const std::vector<Finding>& findings) {
  int score = 100;
  for (const Finding& finding : findings) {
    if (finding.suppressed) continue;
    score -= finding.severity == Severity::kError     ? kErrorPenalty
             : finding.severity == Severity::kWarning ? kWarningPenalty
                                                      : kNotePenalty;
  }
  return std::max(score, 0);
}

void ApplySuppressions(CheckResult& result, const std::vector<Suppression>& suppressions) {
  result.errors = 0;
  for (Finding& finding : result.findings) {
    finding.suppressed =
        std::any_of(suppressions.begin(), suppressions.end(), [&finding](const Suppression& s) {
          return s.checkId == finding.checkId && (s.cap < 0 || s.cap == finding.cap);
        });
    if (!finding.suppressed && finding.severity == Severity::kError) ++result.errors;
  }
  result.score = CheckScore(result.findings);
  for (CheckStatus& status : result.checks) {
    if (status.outcome != CheckOutcome::kFailed && status.outcome != CheckOutcome::kPassed)
      continue;
    const bool failed = std::any_of(
        result.findings.begin(), result.findings.end(), [&status](const Finding& finding) {
          return !finding.suppressed && finding.checkId == status.row->id;
        });
    status.outcome = failed ? CheckOutcome::kFailed : CheckOutcome::kPassed;
  }
}

CheckResult UnfinishedResult(const CheckResult& result,
                             const std::vector<Suppression>& suppressions,
                             const std::size_t* running) {
  CheckResult now = result;
  now.stopped = "the pass had not finished when this was written";
  if (running && *running < now.checks.size()) {
    CheckStatus& status = now.checks[*running];
    status.outcome = CheckOutcome::kFailed;
    now.findings.push_back({status.row->id, Severity::kError, -1,
                            "the call the log's hang note names", "the check returns",
                            "did not return (the process ended in it)"});
    now.stopped = std::string("the ") + status.row->id + " check did not return";
  }
  ApplySuppressions(now, suppressions);
  return now;
}

CheckResult RunChecks(const std::vector<std::string>& groups,
                      const std::vector<Suppression>& suppressions, CheckObserver* observer) {
  CheckObserver quiet;
  if (!observer) observer = &quiet;
  CheckResult result;
  for (const CheckRow& row : kChecks) result.checks.push_back({&row, CheckOutcome::kNotRun, {}});
  if (TWAIN_State() != 4) {
    result.stopped = "no Source is open (state " + std::to_string(TWAIN_State()) + ")";
    return result;
  }
  TW_IDENTITY identity{};
  TWAIN_CopySourceIdentity(&identity);
  result.source.assign(identity.ProductName, strnlen(identity.ProductName, 34));
  result.version = identity.ProtocolMajor * 100 + identity.ProtocolMinor;
  CheckContext context{result};
  context.overrunsBefore = RecordOverruns().size();
  for (const char* group : kGroups) {
    if (!groups.empty() && std::find(groups.begin(), groups.end(), group) == groups.end()) continue;
    // The Source's own dialog only when a person asked for it.
    if (std::strcmp(group, "ui") == 0 && !TheCheckSettings().withUi) continue;
    LogNote("Checking %s...", group);
    observer->GroupStarted(group);
    platform::FaultInfo fault;
    const bool returned = RunSourceGuarded(
        [&] {
          for (CheckStatus& status : result.checks) {
            if (std::strcmp(status.row->group, group) != 0) continue;
            if (result.version < status.row->fromVersion) {
              status.outcome = CheckOutcome::kNotApplicable;
              continue;
            }
            context.row = status.row;
            observer->CheckStarting(result,
                                    static_cast<std::size_t>(&status - result.checks.data()));
            if (!context.snapshotTaken && std::strcmp(group, "capabilities") == 0)
              TakeSnapshot(context);
            const std::size_t before = result.findings.size();
            status.outcome = CheckOutcome::kPassed;
            context.notApplicable.clear();
            status.row->run(context);
            if (result.findings.size() > before) {
              status.outcome = CheckOutcome::kFailed;
            } else if (!context.notApplicable.empty()) {
              status.outcome = CheckOutcome::kNotApplicable;
              status.why = context.notApplicable;
            }
            observer->CheckDone(result, static_cast<std::size_t>(&status - result.checks.data()));
          }
        },
        &fault);
    if (!returned) {
      FreeHeld();
      StopTransferWatch();
      char came[200];
      std::snprintf(came, sizeof(came), "exception 0x%08x at %s", fault.code,
                    fault.place[0] ? fault.place : "an address no module holds");
      result.findings.push_back({context.row->id, Severity::kError, context.cap, context.CallText(),
                                 "the call returns", came});
      for (CheckStatus& status : result.checks) {
        if (status.row != context.row) continue;
        status.outcome = CheckOutcome::kFailed;
        observer->CheckDone(result, static_cast<std::size_t>(&status - result.checks.data()));
      }
    }
    // A check that stopped half way through a transfer leaves the Source enabled.
    if (TWAIN_State() > 4) RunSourceGuarded([] { ReturnToState4(); }, &fault);
    if (TWAIN_State() != 4) {
      result.stopped = "the session left state 4 (now " + std::to_string(TWAIN_State()) +
                       ") during the " + group + " checks";
      break;
    }
  }
  if (TWAIN_State() == 4) {
    platform::FaultInfo fault;
    RunSourceGuarded([&] { PutBack(context); }, &fault);
  }
  for (auto& [cap, h] : context.snapshot) CONTAINER_Free(h);
  context.snapshot.clear();
  ApplySuppressions(result, suppressions);
  LogNote("Check Source: score %d, %d error(s)%s", result.score, result.errors,
          result.stopped.empty() ? "" : ", stopped early");
  return result;
}
