#include "pages/layout_form.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "caps/capability_calls.h"
#include "caps/container.h"
#include "caps/logged_operations.h"
#include "pages/log.h"
#include "session/triplet_calls.h"
#include "vocab/number_text.h"
#include "vocab/triplet_text.h"
#include "vocab/twain_names.h"

namespace {

// Indexed by state 0 to 7.
constexpr LayoutButtons kButtonsByState[] = {
    {false, false, false, false}, {false, false, false, false}, {false, false, false, false},
    {false, false, false, false}, {true, true, true, true},     {true, true, false, false},
    {true, true, false, false},   {false, false, false, false}};

std::string FrameText(TW_FIX32 value) {
  return FormatText("%g", Fix32ToNumber(value));
}

void LogLayoutLine(TW_UINT16 msg) {
  LogLine("(DG_IMAGE,DAT_IMAGELAYOUT,%s) -> %s", MessageName(msg).c_str(), ResultText().c_str());
}

}  // namespace

void LayoutForm::Request(TW_UINT16 msg) {
  valid_ = TWAIN_DS(DG_IMAGE, DAT_IMAGELAYOUT, msg, &layout_);
  LogLayoutLine(msg);
  Refresh();
}

void LayoutForm::Set() {
  TW_IMAGELAYOUT read = layout_;
  if (!ReadLayoutFields(fields_, read)) {
    LogLine("%s", kLayoutFieldError);
    return;
  }
  layout_ = read;
  valid_ = true;
  Refresh();
  TWAIN_DS(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout_);
  LogLayoutLine(MSG_SET);
  valid_ = TWAIN_DS(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout_);
  Refresh();
}

void LayoutForm::SetField(int index, std::string text) {
  if (index >= 0 && index < kLayoutFieldCount) fields_[static_cast<std::size_t>(index)] = text;
}

void LayoutForm::Refresh() {
  if (!valid_) {
    fields_.fill(std::string());
  } else {
    const TW_FRAME& frame = layout_.Frame;
    fields_ = {FrameText(frame.Left),
               FrameText(frame.Top),
               FrameText(frame.Right),
               FrameText(frame.Bottom),
               FormatText("%u", static_cast<unsigned>(layout_.DocumentNumber)),
               FormatText("%u", static_cast<unsigned>(layout_.PageNumber)),
               FormatText("%u", static_cast<unsigned>(layout_.FrameNumber))};
  }
  if (show_) show_(fields_);
}

bool ReadFrameField(const std::string& text, TW_FIX32& value) {
  const char* start = text.c_str();
  char* end = nullptr;
  const float number = std::strtof(start, &end);
  if (end == start) return false;
  // TW_FIX32 holds -32768 to just under 32768; a number outside would wrap
  // into a different frame than the one typed.
  const double scaled = std::round(static_cast<double>(number) * 65536.0);
  constexpr double kPastLargest = 2147483648.0;  // 2^31: INT32_MAX + 1
  if (!std::isfinite(scaled) || scaled < INT32_MIN || scaled >= kPastLargest) return false;
  value = NumberToFix32(number);
  return true;
}

bool ReadNumberField(std::string& text, TW_UINT32& value) {
  if (text.empty()) text = "1";
  const char* start = text.c_str();
  while (std::isspace(static_cast<unsigned char>(*start))) ++start;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(start, &end, 10);
  if (end == start) return false;
  // As "%u" reads: a minus sign wraps; too large a number saturates.
  if (*start == '-') {
    value = static_cast<TW_UINT32>(number);
  } else {
    value = static_cast<TW_UINT32>(std::min<unsigned long long>(number, UINT32_MAX));
  }
  text = ShortNumberText(value);
  return true;
}

bool ReadLayoutFields(LayoutFields& fields, TW_IMAGELAYOUT& layout) {
  TW_FRAME& frame = layout.Frame;
  bool ok = ReadFrameField(fields[kLayoutLeft], frame.Left);
  ok = ReadFrameField(fields[kLayoutTop], frame.Top) && ok;
  ok = ReadFrameField(fields[kLayoutRight], frame.Right) && ok;
  ok = ReadFrameField(fields[kLayoutBottom], frame.Bottom) && ok;
  ok = ReadNumberField(fields[kLayoutDocumentNumber], layout.DocumentNumber) && ok;
  ok = ReadNumberField(fields[kLayoutPageNumber], layout.PageNumber) && ok;
  ok = ReadNumberField(fields[kLayoutFrameNumber], layout.FrameNumber) && ok;
  return ok;
}

std::optional<LayoutButtons> LayoutButtonsFor(int newState, int shownState) {
  if (newState == shownState) return std::nullopt;
  // States outside the table (a negative one wraps far past it) have the first row.
  const auto row = static_cast<std::size_t>(newState);
  return row < std::size(kButtonsByState) ? kButtonsByState[row] : kButtonsByState[0];
}

std::string FrameCaption(int units) {
  return "TW_FRAME (" + UnitNamePlural(units) + ")";
}

bool CaptionNeedsUnits(int newState, int shownState) {
  return newState == 4 && shownState < 4;
}

std::optional<std::string> FrameCaptionWhenShown(int state) {
  if (state < 4) return std::nullopt;
  return FrameCaption(TWAIN_GetCurrentUnits());
}
