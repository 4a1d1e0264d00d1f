// One open Replay Source: a state machine of its own (states 4 to 7) that
// answers from a ReplayBook. Capabilities, layout and palette answer as the
// recorded Source did; transfers hand over the recorded images in order, by
// whichever mechanism the application asks for.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "replay/replay_book.h"
#include "sample_source/source_host.h"
#include "twain/twain.h"

namespace replay {

using NoteSink = std::function<void(const std::string& line)>;

class ReplaySource {
 public:
  ReplaySource(std::shared_ptr<const ReplayBook> book, const TW_IDENTITY& identity,
               const TW_IDENTITY& application, std::unique_ptr<sample::SourceHost> host,
               NoteSink note);
  ReplaySource(const ReplaySource&) = delete;
  ReplaySource& operator=(const ReplaySource&) = delete;

  TW_UINT16 Entry(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

  int state() const { return state_; }

 private:
  using Handler = TW_UINT16 (ReplaySource::*)(TW_UINT16 msg, TW_MEMREF data);
  struct Rule {
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;
    int minState;
    int maxState;
    Handler handler;
  };
  static const Rule kRules[];
  enum class Transfer { kNone, kNative, kMemory, kMemoryDone, kFile };

  TW_UINT16 Fail(TW_UINT16 cc);
  // A triplet the trace holds no answer for: failed, and noted.
  TW_UINT16 Unanswered(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 cc);
  TW_UINT16 Recorded(const RecordedAnswer& answer);

  TW_UINT16 Capability(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ProcessEvent(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 PendingXfers(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 SetupMemXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 SetupFileXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Status(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 UserInterface(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ImageInfo(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 ImageLayout(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 Palette8(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 NativeXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 MemXfer(TW_UINT16 msg, TW_MEMREF data);
  TW_UINT16 FileXfer(TW_UINT16 msg, TW_MEMREF data);

  void Notify(TW_UINT16 message);
  void EndImage();
  // The image a transfer now would hand over; null when none is left.
  const RecordedImage* Current() const;
  std::string DefaultFileName() const;

  std::shared_ptr<const ReplayBook> bookHolder_;
  const ReplayBook& book_;
  TW_IDENTITY identity_;
  TW_IDENTITY application_;
  std::unique_ptr<sample::SourceHost> host_;
  NoteSink note_;
  int state_ = 4;
  TW_UINT16 condition_ = TWCC_SUCCESS;
  std::size_t segment_ = 0;
  std::map<TW_UINT16, Bytes> changedTo_;  // the last change of each capability
  platform::WindowHandle parent_ = nullptr;
  TW_UINT16 pendingEvent_ = MSG_NULL;
  std::size_t job_ = 0;
  std::size_t nextImage_ = 0;
  int pending_ = 0;
  Transfer transfer_ = Transfer::kNone;
  int nextRow_ = 0;
  std::string fileName_;
  TW_UINT16 fileFormat_ = TWFF_BMP;
};

}  // namespace replay
