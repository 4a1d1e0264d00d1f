// What the Layout page does without its window: the TW_IMAGELAYOUT record it
// reads, sets and resets, and the texts of its seven fields. The dialog
// copies the edit fields in before an operation and writes them back after.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "twain/twain.h"

// The fields in reading order.
enum LayoutField {
  kLayoutLeft,
  kLayoutTop,
  kLayoutRight,
  kLayoutBottom,
  kLayoutDocumentNumber,
  kLayoutPageNumber,
  kLayoutFrameNumber,
  kLayoutFieldCount
};
using LayoutFields = std::array<std::string, kLayoutFieldCount>;

struct LayoutButtons {
  bool get;
  bool getDefault;
  bool reset;
  bool set;
  bool operator==(const LayoutButtons&) const = default;
};

constexpr const char* kLayoutFieldError = "Error in TW_IMAGELAYOUT field.";

class LayoutForm {
 public:
  // MSG_GET, MSG_GETDEFAULT or MSG_RESET, logged; the fields then show the
  // record, or nothing after a failure.
  void Request(TW_UINT16 msg);
  // Reads the fields and sends them with MSG_SET, then shows what a silent
  // MSG_GET reports. A field that cannot be read stops it before any triplet.
  void Set();

  // Called whenever the fields are rewritten from the record, so a window
  // shows them before the triplets that follow (a Source may pump messages).
  void OnRefresh(std::function<void(const LayoutFields&)> show) { show_ = std::move(show); }

  const LayoutFields& fields() const { return fields_; }
  void SetField(int index, std::string text);
  const TW_IMAGELAYOUT& layout() const { return layout_; }
  bool valid() const { return valid_; }

 private:
  void Refresh();

  TW_IMAGELAYOUT layout_{};
  bool valid_ = false;
  LayoutFields fields_;
  std::function<void(const LayoutFields&)> show_;
};

// One single-precision number (leading blanks skipped, the rest ignored) as
// TW_FIX32; false when there is none or it does not fit.
bool ReadFrameField(const std::string& text, TW_FIX32& value);
// An unsigned decimal number, empty meaning 1; the text is rewritten with the
// number read, or kept as typed when there was none.
bool ReadNumberField(std::string& text, TW_UINT32& value);
// Every field is read, in order, even after one failed; false when any did.
bool ReadLayoutFields(LayoutFields& fields, TW_IMAGELAYOUT& layout);

// The buttons' enabling after a state change; nothing when the state did
// not change.
std::optional<LayoutButtons> LayoutButtonsFor(int newState, int shownState);
// "TW_FRAME (inches)", "?" for units no table lists.
std::string FrameCaption(int units);
// The caption when the page is shown in this state (the Source's current
// units asked); nothing below state 4, where the caption stays as it was.
std::optional<std::string> FrameCaptionWhenShown(int state);
// On a state change of the shown page: only opening a Source (4 from below)
// can bring other units; in states 5 to 7 they cannot change.
bool CaptionNeedsUnits(int newState, int shownState);
