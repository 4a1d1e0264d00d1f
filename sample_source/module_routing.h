// What each of our Source DLLs does with a DS_Entry call before its Sources
// see it: the Manager's entry points kept, the identity listing, MSG_OPENDS
// and MSG_CLOSEDS, the condition of a triplet answered here, and every other
// triplet routed to the calling application's open Source. The Sample and
// Replay modules differ only in what they list and how they open.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "twain/twain.h"
#include "vocab/triplet_text.h"

namespace sample {

template <typename SessionType>
class ModuleRouting {
 public:
  using TraceSink = std::function<void(const std::string& line)>;
  virtual ~ModuleRouting() = default;

  TW_UINT16 Entry(const TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                  TW_MEMREF data) {
    TW_UINT16 rc;
    // Nothing may throw into the Source Manager: running out of memory fails the call.
    try {
      rc = Dispatch(origin, dg, dat, msg, data);
    } catch (const std::bad_alloc&) {
      rc = Fail(TWCC_LOWMEMORY);
    }
    if (trace_) {
      char line[160];
      std::snprintf(line, sizeof(line), "app %u: %s -> rc %u", origin ? unsigned(origin->Id) : 0u,
                    TripletText(dg, dat, msg).c_str(), unsigned(rc));
      trace_(line);
    }
    return rc;
  }
  // The open Source of an application, or null.
  SessionType* Session(TW_UINT32 applicationId) {
    auto found = sessions_.find(applicationId);
    return found == sessions_.end() ? nullptr : found->second.get();
  }
  std::size_t SessionCount() const { return sessions_.size(); }
  // A line per triplet received and its answer.
  void SetTrace(TraceSink sink) { trace_ = std::move(sink); }

 protected:
  // The identity a MSG_GET of DAT_IDENTITY lists next.
  virtual TW_IDENTITY Listed() = 0;
  // MSG_OPENDS: a session for the application in sessions_, and the
  // identity it opened as in `requested`.
  virtual TW_UINT16 Open(const TW_IDENTITY* origin, TW_IDENTITY* requested) = 0;
  // Every triplet, before it is routed.
  virtual void Received(TW_UINT32 /*dg*/, TW_UINT16 /*dat*/, TW_UINT16 /*msg*/) {}

  TW_UINT16 Fail(TW_UINT16 cc) {
    condition_ = cc;
    return TWRC_FAILURE;
  }
  const TW_ENTRYPOINT* entryPoint() const { return entryPoint_ ? &*entryPoint_ : nullptr; }

  std::map<TW_UINT32, std::unique_ptr<SessionType>> sessions_;
  TraceSink trace_;

 private:
  TW_UINT16 Dispatch(const TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                     TW_MEMREF data) {
    const TW_UINT32 applicationId = origin ? origin->Id : 0;
    if (dat != DAT_STATUS) answeredHere_ = true;
    Received(dg, dat, msg);
    if (dg == DG_CONTROL && dat == DAT_ENTRYPOINT && msg == MSG_SET) {
      if (!data) return Fail(TWCC_BADVALUE);
      TW_ENTRYPOINT entryPoint;
      std::memcpy(&entryPoint, data, sizeof(entryPoint));
      entryPoint_ = entryPoint;
      condition_ = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_IDENTITY) {
      auto* identity = static_cast<TW_IDENTITY*>(data);
      if (!identity) return Fail(TWCC_BADVALUE);
      condition_ = TWCC_SUCCESS;
      if (msg == MSG_GET) {
        // The Manager's Id stays: Managers fill in Ids of their own choosing.
        const TW_UINT32 id = identity->Id;
        *identity = Listed();
        identity->Id = id;
        return TWRC_SUCCESS;
      }
      if (msg == MSG_OPENDS) return Open(origin, identity);
      if (msg == MSG_CLOSEDS) {
        SessionType* session = Session(applicationId);
        if (!session || session->state() != 4) return Fail(TWCC_SEQERROR);
        sessions_.erase(applicationId);
        return TWRC_SUCCESS;
      }
      return Fail(TWCC_BADPROTOCOL);
    }
    SessionType* session = Session(applicationId);
    const bool status = dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET;
    // The condition of a triplet answered here (or with no session to ask) is ours.
    if (status && data && (!session || answeredHere_)) {
      static_cast<TW_STATUS*>(data)->ConditionCode = condition_;
      static_cast<TW_STATUS*>(data)->Reserved = 0;
      return TWRC_SUCCESS;
    }
    if (!session) return Fail(TWCC_SEQERROR);
    if (!status) answeredHere_ = false;
    return session->Entry(dg, dat, msg, data);
  }

  std::optional<TW_ENTRYPOINT> entryPoint_;
  TW_UINT16 condition_ = TWCC_SUCCESS;
  // Whether the last triplet before a DAT_STATUS was answered here rather
  // than by a session, so the status reports the right condition.
  bool answeredHere_ = true;
};

}  // namespace sample
