#include "platform/host/fake_source_manager.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/host/host_platform.h"
#include "platform/memory.h"
#include "platform/message_queue.h"
#include "vocab/triplet_text.h"

namespace fake {
namespace {

SourceManager* g_current = nullptr;

struct RecordSize {
  TW_UINT16 dat;
  std::size_t bytes;
};

// How many bytes of each record the fake copies into its transcript.
constexpr RecordSize kRecordSizes[] = {
    {DAT_CAPABILITY, sizeof(TW_CAPABILITY)},       {DAT_EVENT, sizeof(TW_EVENT)},
    {DAT_IDENTITY, sizeof(TW_IDENTITY)},           {DAT_PARENT, sizeof(void*)},
    {DAT_PENDINGXFERS, sizeof(TW_PENDINGXFERS)},   {DAT_SETUPMEMXFER, sizeof(TW_SETUPMEMXFER)},
    {DAT_SETUPFILEXFER, sizeof(TW_SETUPFILEXFER)}, {DAT_STATUS, sizeof(TW_STATUS)},
    {DAT_USERINTERFACE, sizeof(TW_USERINTERFACE)}, {DAT_IMAGEINFO, sizeof(TW_IMAGEINFO)},
    {DAT_IMAGELAYOUT, sizeof(TW_IMAGELAYOUT)},     {DAT_IMAGEMEMXFER, sizeof(TW_IMAGEMEMXFER)},
    {DAT_IMAGENATIVEXFER, sizeof(TW_HANDLE)},      {DAT_PALETTE8, sizeof(TW_PALETTE8)},
    {DAT_ENTRYPOINT, sizeof(TW_ENTRYPOINT)},       {DAT_CALLBACK, sizeof(TW_CALLBACK)},
};

std::size_t RecordBytes(TW_UINT16 dat) {
  for (const RecordSize& row : kRecordSizes) {
    if (row.dat == dat) return row.bytes;
  }
  return 0;
}

std::vector<std::uint8_t> BlockBytes(TW_HANDLE block) {
  platform::MemLockGuard lock(block);
  if (!lock) return {};
  auto* bytes = static_cast<const std::uint8_t*>(lock.data());
  return std::vector<std::uint8_t>(bytes, bytes + platform::MemSize(block));
}

// The memory functions of the 2.x mode, counted, on the host's own blocks.
TW_HANDLE TW_CALLINGSTYLE FakeAllocate(TW_UINT32 size) {
  ++SourceManager::memoryCalls().allocations;
  return platform::SystemMemAlloc(size);
}
void TW_CALLINGSTYLE FakeFree(TW_HANDLE block) {
  ++SourceManager::memoryCalls().frees;
  platform::SystemMemFree(block);
}
TW_MEMREF TW_CALLINGSTYLE FakeLock(TW_HANDLE block) {
  ++SourceManager::memoryCalls().locks;
  return platform::SystemMemLock(block);
}
void TW_CALLINGSTYLE FakeUnlock(TW_HANDLE block) {
  ++SourceManager::memoryCalls().unlocks;
  platform::SystemMemUnlock(block);
}

std::string Windows(const std::string& directory) {
  return directory + "\\TWAIN_32.DLL";
}

}  // namespace

bool Call::Is(TW_UINT32 g, TW_UINT16 d, TW_UINT16 m) const {
  return dg == g && dat == d && msg == m;
}

TW_UINT16 Call::Cap() const {
  if (dat != DAT_CAPABILITY || record.size() < sizeof(TW_CAPABILITY)) return 0;
  TW_CAPABILITY cap;
  std::memcpy(&cap, record.data(), sizeof(cap));
  return cap.Cap;
}

std::string Call::Text() const {
  std::string text = TripletText(dg, dat, msg);
  text += toManager ? " to the Manager" : " to Source " + std::to_string(destination.Id);
  if (dat == DAT_CAPABILITY)
    text += " cap 0x" + [&] {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "%04x", Cap());
      return std::string(hex);
    }();
  return text + " -> " + std::to_string(returned);
}

Rule& Rule::Return(TW_UINT16 rc) {
  rc_ = rc;
  return *this;
}

Rule& Rule::Condition(TW_UINT16 cc) {
  cc_ = cc;
  return *this;
}

Rule& Rule::Fill(std::function<void(TW_MEMREF)> fill) {
  fill_ = std::move(fill);
  return *this;
}

Rule& Rule::ReplyContainer(TW_UINT16 conType, std::vector<std::uint8_t> bytes) {
  return Fill([conType, bytes](TW_MEMREF data) {
    auto* cap = static_cast<TW_CAPABILITY*>(data);
    TW_HANDLE block = platform::MemAlloc(bytes.size());
    if (platform::MemLockGuard lock(block); lock && !bytes.empty()) {
      std::memcpy(lock.data(), bytes.data(), bytes.size());
    }
    cap->ConType = conType;
    cap->hContainer = block;
  });
}

Rule& Rule::Run(Handler handler) {
  handler_ = std::move(handler);
  return *this;
}

Rule& Rule::Observe(std::function<void(const Call&)> observer) {
  observer_ = std::move(observer);
  return *this;
}

Rule& Rule::Times(int count) {
  remaining_ = count;
  return *this;
}

SourceManager::SourceManager() : SourceManager(Windows(kDefaultWindowsDirectory)) {
  platform::host::SetWindowsDirectory(kDefaultWindowsDirectory);
}

SourceManager::SourceManager(std::string path) : path_(std::move(path)) {
  g_current = this;
  memoryCalls() = MemoryCalls{};
  platform::host::RegisterModule(path_, {{"DSM_Entry", reinterpret_cast<void*>(&Entry)}},
                                 [this] { ForgetSession(); });
}

SourceManager::~SourceManager() {
  platform::host::UnregisterModule(path_);
  if (g_current == this) g_current = nullptr;
}

SourceManager::MemoryCalls& SourceManager::memoryCalls() {
  static MemoryCalls calls;
  return calls;
}

bool SourceManager::Callback(TW_UINT16 msg) {
  return CallbackTriplet(DG_CONTROL, DAT_NULL, msg) != kNoCallback;
}

TW_UINT16 SourceManager::CallbackTriplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  if (!callback_ || openSource_ < 0) return kNoCallback;
  TW_IDENTITY source = sources_[openSource_];
  TW_IDENTITY application = application_;
  return callback_(&source, &application, dg, dat, msg, nullptr);
}

// A 2.x Manager lists only the first identity each file answers.
bool SourceManager::Listed(std::size_t index) const {
  if (!twain2_) return true;
  for (std::size_t i = 0; i < index; ++i) {
    if (files_[i] == files_[index]) return false;
  }
  return true;
}

TW_IDENTITY& SourceManager::AddSource(const std::string& productName, int file) {
  TW_IDENTITY identity{};
  identity.Version.MajorNum = 1;
  identity.Version.Language = TWLG_USA;
  identity.Version.Country = TWCY_USA;
  std::strncpy(identity.Version.Info, "1.0", 32);
  identity.ProtocolMajor = 1;
  identity.ProtocolMinor = 9;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strncpy(identity.Manufacturer, "Test Maker", 32);
  std::strncpy(identity.ProductFamily, "Test Family", 32);
  // A name of 34 characters fills the field with no terminating zero, as a careless Source may.
  std::memcpy(identity.ProductName, productName.data(),
              std::min(productName.size(), sizeof(identity.ProductName)));
  sources_.push_back(identity);
  files_.push_back(file >= 0 ? file : -1 - static_cast<int>(sources_.size()));
  return sources_.back();
}

void SourceManager::SetDefaultSource(std::size_t index) {
  defaultSource_ = index;
}

Rule& SourceManager::On(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) {
  rules_.push_back(std::make_unique<Rule>());
  Rule& rule = *rules_.back();
  rule.dg_ = dg;
  rule.dat_ = dat;
  rule.msg_ = msg;
  return rule;
}

Rule& SourceManager::OnCap(TW_UINT16 cap, TW_UINT16 msg) {
  Rule& rule = On(DG_CONTROL, DAT_CAPABILITY, msg);
  rule.cap_ = cap;
  return rule;
}

void SourceManager::ForgetSession() {
  managerOpen_ = false;
  openSource_ = -1;
  enabled_ = false;
  events_.clear();
  nextListed_ = 0;
  callback_ = nullptr;
  managerCondition_ = sourceCondition_ = TWCC_SUCCESS;
}

void SourceManager::QueueEvent(TW_UINT16 twMessage) {
  events_.push_back(twMessage);
}

void SourceManager::SetPendingTransfers(TW_UINT16 count) {
  pending_ = count;
}

std::vector<Call> SourceManager::CallsOf(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const {
  std::vector<Call> found;
  for (const Call& call : calls_) {
    if (call.Is(dg, dat, msg)) found.push_back(call);
  }
  return found;
}

std::size_t SourceManager::Count(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const {
  std::size_t count = 0;
  for (const Call& call : calls_) count += call.Is(dg, dat, msg) ? 1 : 0;
  return count;
}

std::string SourceManager::Transcript() const {
  std::ostringstream out;
  for (const Call& call : calls_) out << std::string(2 * call.depth, ' ') << call.Text() << '\n';
  return out.str();
}

void SourceManager::PumpMessages() {
  platform::Message message;
  while (platform::PeekRemoveMessage(message)) platform::TranslateDispatch(message);
}

TW_UINT16 TW_CALLINGSTYLE SourceManager::Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg,
                                               TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  SourceManager* self = g_current;
  if (!self) return TWRC_FAILURE;
  Call call;
  call.toManager = dest == nullptr;
  if (origin) call.origin = *origin;
  if (dest) call.destination = *dest;
  call.dg = dg;
  call.dat = dat;
  call.msg = msg;
  call.nullData = data == nullptr;
  if (data) {
    auto* bytes = static_cast<const std::uint8_t*>(data);
    call.record.assign(bytes, bytes + RecordBytes(dat));
    if (dat == DAT_CAPABILITY)
      call.container = BlockBytes(static_cast<TW_CAPABILITY*>(data)->hContainer);
  }
  call.depth = ++self->depth_;
  const std::size_t index = self->calls_.size();
  self->calls_.push_back(std::move(call));
  const TW_UINT16 rc = self->Answer(index, origin, dest, data);
  self->calls_[index].returned = rc;
  --self->depth_;
  return rc;
}

Rule* SourceManager::Match(const Call& call) {
  for (auto it = rules_.rbegin(); it != rules_.rend(); ++it) {
    Rule& rule = **it;
    if (!call.Is(rule.dg_, rule.dat_, rule.msg_) || rule.remaining_ == 0) continue;
    if (rule.cap_ >= 0 && call.Cap() != rule.cap_) continue;
    if (rule.observer_) {
      if (rule.remaining_ > 0) --rule.remaining_;
      rule.observer_(call);
      continue;
    }
    return &rule;
  }
  return nullptr;
}

TW_UINT16 SourceManager::Answer(std::size_t index, TW_IDENTITY* origin, TW_IDENTITY* dest,
                                TW_MEMREF data) {
  // No copy: a fault inside a handler abandons this frame, as it abandons a Source's.
  const Call& call = calls_[index];
  const bool status = call.dat == DAT_STATUS;
  TW_UINT16 cc = TWCC_SUCCESS;
  TW_UINT16 rc;
  if (Rule* rule = Match(call)) {
    if (rule->remaining_ > 0) --rule->remaining_;
    if (rule->fill_ && data) rule->fill_(data);
    rc = rule->handler_ ? rule->handler_(call, data) : rule->rc_;
    cc = rule->cc_ >= 0 ? static_cast<TW_UINT16>(rule->cc_)
                        : (rc == TWRC_SUCCESS ? TWCC_SUCCESS : TWCC_BUMMER);
  } else {
    rc = Model(call, origin, dest, data, cc);
  }
  // A status request reports the condition; it does not replace it.
  if (!status) (call.toManager ? managerCondition_ : sourceCondition_) = cc;
  return rc;
}

TW_UINT16 SourceManager::Model(const Call& call, TW_IDENTITY* origin, TW_IDENTITY* dest,
                               TW_MEMREF data, TW_UINT16& cc) {
  if (call.dat == DAT_STATUS && data) {
    static_cast<TW_STATUS*>(data)->ConditionCode =
        call.toManager ? managerCondition_ : sourceCondition_;
    return TWRC_SUCCESS;
  }
  if (call.toManager) return ManagerModel(call, origin, data, cc);
  if (openSource_ < 0 || !dest || dest->Id != openId_) {
    cc = TWCC_BADDEST;
    return TWRC_FAILURE;
  }
  if (call.Is(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK)) {
    // The Manager keeps the callback; the Source never sees it.
    if (!twain2_ || !origin || !(origin->SupportedGroups & DF_APP2) || !data) {
      cc = TWCC_BADPROTOCOL;
      return TWRC_FAILURE;
    }
    callback_ = reinterpret_cast<DSMENTRYPROC>(static_cast<TW_CALLBACK*>(data)->CallBackProc);
    application_ = *origin;
    return TWRC_SUCCESS;
  }
  return SourceModel(call, data, cc);
}

TW_UINT16 SourceManager::ManagerModel(const Call& call, TW_IDENTITY* origin, TW_MEMREF data,
                                      TW_UINT16& cc) {
  auto fail = [&cc](TW_UINT16 code) {
    cc = code;
    return TWRC_FAILURE;
  };
  if (call.dg != DG_CONTROL) return fail(TWCC_BADPROTOCOL);
  if (call.dat == DAT_PARENT && call.msg == MSG_OPENDSM) {
    if (managerOpen_) return fail(TWCC_SEQERROR);
    managerOpen_ = true;
    if (origin && origin->Id == 0) origin->Id = nextId_++;
    if (origin && twain2_) origin->SupportedGroups |= DF_DSM2;
    return TWRC_SUCCESS;
  }
  if (call.dat == DAT_ENTRYPOINT && call.msg == MSG_GET) {
    if (!twain2_ || !origin || !(origin->SupportedGroups & DF_APP2)) return fail(TWCC_BADPROTOCOL);
    if (!managerOpen_) return fail(TWCC_SEQERROR);
    if (!data) return fail(TWCC_BADVALUE);
    auto* entry = static_cast<TW_ENTRYPOINT*>(data);
    entry->Size = sizeof(TW_ENTRYPOINT);
    entry->DSM_Entry = &Entry;
    entry->DSM_MemAllocate = FakeAllocate;
    entry->DSM_MemFree = FakeFree;
    entry->DSM_MemLock = FakeLock;
    entry->DSM_MemUnlock = FakeUnlock;
    return TWRC_SUCCESS;
  }
  if (call.dat == DAT_PARENT && call.msg == MSG_CLOSEDSM) {
    if (!managerOpen_ || openSource_ >= 0) return fail(TWCC_SEQERROR);
    managerOpen_ = false;
    return TWRC_SUCCESS;
  }
  if (call.dat != DAT_IDENTITY) return fail(TWCC_BADPROTOCOL);
  if (!managerOpen_) return fail(TWCC_SEQERROR);
  auto* identity = static_cast<TW_IDENTITY*>(data);
  switch (call.msg) {
    case MSG_GETFIRST:
    case MSG_GETNEXT:
      if (call.msg == MSG_GETFIRST) nextListed_ = 0;
      while (nextListed_ < sources_.size() && !Listed(nextListed_)) ++nextListed_;
      if (nextListed_ >= sources_.size()) return TWRC_ENDOFLIST;
      if (twain2_) sources_[nextListed_].Id = static_cast<TW_UINT32>(nextListed_ + 1);
      if (identity) *identity = sources_[nextListed_];
      ++nextListed_;
      return TWRC_SUCCESS;
    case MSG_GETDEFAULT:
      if (defaultSource_ >= sources_.size()) return fail(TWCC_NODS);
      if (identity) *identity = sources_[defaultSource_];
      return TWRC_SUCCESS;
    case MSG_OPENDS: {
      if (openSource_ >= 0) return fail(TWCC_MAXCONNECTIONS);
      int found = -1;
      if (identity && identity->ProductName[0] != '\0') {
        for (std::size_t i = 0; i < sources_.size(); ++i) {
          if (std::strncmp(sources_[i].ProductName, identity->ProductName, 34) == 0) {
            found = static_cast<int>(i);
          }
        }
      } else if (defaultSource_ < sources_.size()) {
        found = static_cast<int>(defaultSource_);
      }
      if (found < 0) return fail(TWCC_NODS);
      openSource_ = found;
      // A 2.x Manager keeps the Id it listed; a 1.x one numbers anew.
      openId_ = twain2_ ? static_cast<TW_UINT32>(found + 1) : nextId_++;
      sources_[found].Id = openId_;
      if (identity) *identity = sources_[found];
      sourceCondition_ = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    }
    case MSG_CLOSEDS:
      if (openSource_ < 0 || !identity || identity->Id != openId_) return fail(TWCC_NODS);
      if (enabled_) return fail(TWCC_SEQERROR);
      openSource_ = -1;
      return TWRC_SUCCESS;
    default:
      return fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 SourceManager::SourceModel(const Call& call, TW_MEMREF data, TW_UINT16& cc) {
  auto fail = [&cc](TW_UINT16 code) {
    cc = code;
    return TWRC_FAILURE;
  };
  if (call.Is(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)) {
    if (enabled_) return fail(TWCC_SEQERROR);
    enabled_ = true;
    return TWRC_SUCCESS;
  }
  if (call.Is(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS)) {
    if (!enabled_) return fail(TWCC_SEQERROR);
    enabled_ = false;
    return TWRC_SUCCESS;
  }
  if (call.Is(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT)) {
    auto* event = static_cast<TW_EVENT*>(data);
    if (!enabled_ || events_.empty()) {
      if (event) event->TWMessage = MSG_NULL;
      return TWRC_NOTDSEVENT;
    }
    if (event) event->TWMessage = events_.front();
    events_.pop_front();
    return TWRC_DSEVENT;
  }
  if (call.dg == DG_CONTROL && call.dat == DAT_PENDINGXFERS) {
    auto* pending = static_cast<TW_PENDINGXFERS*>(data);
    if (call.msg == MSG_ENDXFER && pending_ != 0 && pending_ != 0xFFFF) --pending_;
    if (call.msg == MSG_RESET) pending_ = 0;
    if (pending) pending->Count = pending_;
    return TWRC_SUCCESS;
  }
  if (call.dat == DAT_CAPABILITY) return fail(TWCC_CAPUNSUPPORTED);
  return fail(TWCC_BADPROTOCOL);
}

}  // namespace fake
