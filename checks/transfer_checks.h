// The transfer checks: one image by each mechanism the Source lists, with
// its user interface hidden, through the same transfer steps the Images
// page takes; what the Source answered on the way is kept for the checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "twain/twain.h"

struct CheckContext;

// One memory strip as the Source described it, and the buffer it came in.
struct StripSeen {
  TW_UINT16 rc = 0;
  std::uint32_t bufferBytes = 0;
  TW_UINT16 compression = 0;
  std::uint32_t bytesPerRow = 0;
  std::uint32_t rows = 0;
  std::uint32_t yOffset = 0;
  std::uint32_t bytesWritten = 0;
};

struct TransferRun {
  TW_UINT16 mechanism = 0;
  std::string refused;                // a step that failed before any image: what came
  TW_UINT16 event = 0;                // what the Source announced after MSG_ENABLEDS
  TW_UINT16 enableRc = TWRC_SUCCESS;  // MSG_ENABLEDS's own answer
  bool pumped = false;                // MSG_ENABLEDS dispatched the application's queue
  bool infoRead = false;
  TW_IMAGEINFO info{};
  bool transferred = false;  // the step got an image, a file or strips
  // The image as it arrived: width, height and bits per pixel.
  bool imageRead = false;
  int width = 0, height = 0, depth = 0;
  // Native: the handle was an HBITMAP; what is wrong with its block.
  bool hbitmap = false;
  std::string blockNote;
  // Memory: the Source's limits and its strips.
  bool setupRead = false;
  TW_SETUPMEMXFER setup{};
  std::vector<StripSeen> strips;
  // File: the format asked, the file's first bytes.
  TW_UINT16 fileFormat = 0;
  std::string fileName;
  std::string fileStart;
  // Pending transfers: the Count of each MSG_ENDXFER, of a MSG_RESET.
  std::vector<int> endCounts;
  int resetCount = -1;
  int stateAfter = 0;  // the state the run ended in
};

// A Source whose CAP_UICONTROLLABLE is FALSE transfers only through its own
// dialog, which waits for a person: the checks that enable it hidden do not
// apply, and say so in context.notApplicable.
bool NeedsItsDialog(CheckContext& context);
// Runs the transfers once per pass (the first transfer check asks); false
// when they do not apply.
bool MakeTransfers(CheckContext& context);
// Back to state 4 from wherever a transfer stopped.
void ReturnToState4();
// After a fault: the seam gets its previous observer back.
void StopTransferWatch();

void TransferReady(CheckContext& context);
void TransferImageInfo(CheckContext& context);
void TransferNative(CheckContext& context);
void TransferMemory(CheckContext& context);
void TransferFile(CheckContext& context);
void TransferPending(CheckContext& context);
void TransferNoPump(CheckContext& context);
// What TWAIN allows but a Source developer wants to know: notes.
void TransferEnableCheckStatus(CheckContext& context);
void TransferPendingUnknown(CheckContext& context);

// How long MSG_XFERREADY may take after MSG_ENABLEDS.
constexpr std::uint32_t kXferReadyMs = 10000;
