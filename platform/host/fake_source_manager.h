// An in-process TWAIN Source Manager for host tests. It records every
// triplet it receives and answers from the rules a test writes; what no rule
// answers, a small model of a well-behaved Manager and Source answers.
//
//   fake::SourceManager dsm;                     // installed as TWAIN_32.DLL
//   dsm.AddSource("Flatbed");
//   dsm.On(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS).Return(TWRC_FAILURE)
//       .Condition(TWCC_SEQERROR);
//   dsm.OnCap(ICAP_UNITS, MSG_GETCURRENT).ReplyContainer(TWON_ONEVALUE, bytes);
//   ... drive the library ...
//   EXPECT_EQ(dsm.Count(DG_CONTROL, DAT_STATUS, MSG_GET), 1u) << dsm.Transcript();
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "twain/twain.h"

namespace fake {

// One triplet as the fake received it.
struct Call {
  bool toManager = false;
  TW_IDENTITY origin{};
  TW_IDENTITY destination{};
  TW_UINT32 dg = 0;
  TW_UINT16 dat = 0;
  TW_UINT16 msg = 0;
  bool nullData = true;
  std::vector<std::uint8_t> record;     // the record's bytes as they arrived
  std::vector<std::uint8_t> container;  // DAT_CAPABILITY: the container block as it arrived
  TW_UINT16 returned = 0;               // the code the fake answered
  int depth = 0;                        // 1 for a call from outside, more when nested

  bool Is(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const;
  TW_UINT16 Cap() const;  // DAT_CAPABILITY only: the capability asked for
  std::string Text() const;
};

// Full control of an answer: edit the record, return the code.
using Handler = std::function<TW_UINT16(const Call& call, TW_MEMREF data)>;

class Rule {
 public:
  Rule& Return(TW_UINT16 rc);
  // What the next DAT_STATUS reports after this answer.
  Rule& Condition(TW_UINT16 cc);
  // Edits the record before the answer goes back.
  Rule& Fill(std::function<void(TW_MEMREF data)> fill);
  // DAT_CAPABILITY: answers with a fresh movable block holding these bytes.
  Rule& ReplyContainer(TW_UINT16 conType, std::vector<std::uint8_t> bytes);
  Rule& Run(Handler handler);
  // Watches matching triplets without answering them: older rules and the
  // model still answer.
  Rule& Observe(std::function<void(const Call& call)> observer);
  // Answers this many times, then leaves the triplet to older rules and the model.
  Rule& Times(int count);

 private:
  friend class SourceManager;
  TW_UINT32 dg_ = 0;
  TW_UINT16 dat_ = 0;
  TW_UINT16 msg_ = 0;
  int cap_ = -1;  // any capability
  int remaining_ = -1;
  TW_UINT16 rc_ = TWRC_SUCCESS;
  int cc_ = -1;  // from the answer
  std::function<void(TW_MEMREF)> fill_;
  Handler handler_;
  std::function<void(const Call&)> observer_;
};

class SourceManager {
 public:
  static constexpr const char* kDefaultWindowsDirectory = "C:\\WINDOWS";

  // Registers itself as TWAIN_32.DLL in the host's Windows directory.
  SourceManager();
  // Registers itself as the given file instead.
  explicit SourceManager(std::string path);
  ~SourceManager();
  SourceManager(const SourceManager&) = delete;
  SourceManager& operator=(const SourceManager&) = delete;

  // Sources listed by MSG_GETFIRST / MSG_GETNEXT; the first added is the
  // default. `file` groups identities one .ds file answers (-1: a file of its own).
  TW_IDENTITY& AddSource(const std::string& productName, int file = -1);
  void SetDefaultSource(std::size_t index);

  Rule& On(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);
  Rule& OnCap(TW_UINT16 cap, TW_UINT16 msg);

  // The next MSG_PROCESSEVENT answers TWRC_DSEVENT carrying this message.
  void QueueEvent(TW_UINT16 twMessage);
  // What MSG_ENDXFER reports; it counts down by one per transfer, except 0xFFFF.
  void SetPendingTransfers(TW_UINT16 count);

  // A deque, so a call's record stays put while nested calls are added.
  const std::deque<Call>& Calls() const { return calls_; }
  std::vector<Call> CallsOf(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const;
  std::size_t Count(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg) const;
  void ClearCalls() { calls_.clear(); }
  // Every call a line, for failure messages.
  std::string Transcript() const;

  const std::string& path() const { return path_; }
  bool managerOpen() const { return managerOpen_; }
  bool sourceOpen() const { return openSource_ >= 0; }
  bool sourceEnabled() const { return enabled_; }

  // What unloading the library does: the Manager forgets every open session.
  void ForgetSession();

  // The 2.x Manager: DF_DSM2 in every MSG_OPENDSM answer; DAT_ENTRYPOINT
  // with memory functions and DAT_CALLBACK for a DF_APP2 application; only
  // the first identity of each file listed; Ids from 1, kept from the list.
  void SetTwain2(bool on) { twain2_ = on; }
  // Calls of the memory functions DAT_ENTRYPOINT hands out (which keep their
  // blocks in the host's own memory, so its counts hold too).
  struct MemoryCalls {
    int allocations = 0;
    int frees = 0;
    int locks = 0;
    int unlocks = 0;
  };
  static MemoryCalls& memoryCalls();
  // The Source sends DAT_NULL / msg through the registered callback, as a
  // 2.x Manager does; false when none is registered.
  bool Callback(TW_UINT16 msg);
  // Any triplet through the callback, as a misbehaving Source might send it;
  // kNoCallback when none is registered, else what the callback answered.
  static constexpr TW_UINT16 kNoCallback = 0xFFFF;
  TW_UINT16 CallbackTriplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);
  bool callbackRegistered() const { return callback_ != nullptr; }

  // Runs the thread's message queue dry: a Source that pumps messages.
  static void PumpMessages();

 private:
  static TW_UINT16 TW_CALLINGSTYLE Entry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg,
                                         TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Answer(std::size_t callIndex, TW_IDENTITY* origin, TW_IDENTITY* dest, TW_MEMREF data);
  Rule* Match(const Call& call);
  TW_UINT16 Model(const Call& call, TW_IDENTITY* origin, TW_IDENTITY* dest, TW_MEMREF data,
                  TW_UINT16& cc);
  TW_UINT16 ManagerModel(const Call& call, TW_IDENTITY* origin, TW_MEMREF data, TW_UINT16& cc);
  TW_UINT16 SourceModel(const Call& call, TW_MEMREF data, TW_UINT16& cc);

  std::string path_;
  std::deque<Call> calls_;
  std::vector<std::unique_ptr<Rule>> rules_;
  bool Listed(std::size_t index) const;

  std::vector<TW_IDENTITY> sources_;
  std::vector<int> files_;  // per Source
  bool twain2_ = false;
  DSMENTRYPROC callback_ = nullptr;
  TW_IDENTITY application_{};
  std::size_t defaultSource_ = 0;
  std::size_t nextListed_ = 0;
  bool managerOpen_ = false;
  int openSource_ = -1;
  TW_UINT32 openId_ = 0;
  TW_UINT32 nextId_ = 1;
  bool enabled_ = false;
  std::deque<TW_UINT16> events_;
  TW_UINT16 pending_ = 0;
  TW_UINT16 managerCondition_ = TWCC_SUCCESS;
  TW_UINT16 sourceCondition_ = TWCC_SUCCESS;
  int depth_ = 0;
};

}  // namespace fake
