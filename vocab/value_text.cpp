#include "vocab/value_text.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/message_box.h"
#include "session/triplet_calls.h"
#include "vocab/item_types.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"

namespace {

// One text form per item type: v is the value cut to 32 bits, value the
// number itself.
using NumberForm = std::string (*)(std::uint32_t v, double value);

std::string SignedText(std::uint32_t v, double) {
  return FormatText("%d", static_cast<std::int32_t>(v));
}

std::string UnsignedText(std::uint32_t v, double) {
  return FormatText("%u", v);
}

std::string BoolText(std::uint32_t v, double) {
  constexpr const char* kNames[] = {"FALSE", "TRUE"};
  return v < std::size(kNames) ? kNames[v] : FormatText("%u??", v);
}

std::string RealText(std::uint32_t, double value) {
  return FormatText("%g", value);
}

std::string UnlistedText(std::uint32_t v, double) {
  return FormatText("%u?", v);
}

// Indexed by the TWTY code; the types beyond have no number form.
constexpr NumberForm kNumberForms[] = {SignedText,   SignedText,   SignedText, UnsignedText,
                                       UnsignedText, UnsignedText, BoolText,   RealText};
static_assert(std::size(kNumberForms) == TWTY_FIX32 + 1);

constexpr const char* kFrameHelp =
    "\n^ Unable to process this frame value.  Need four numbers (left, top, right, bottom) like "
    "this:\n4, 1.5, 6, 10.125";

bool StoreFrame(ContainerHandle* h, int index, const char* text) {
  float left = 0, top = 0, right = 0, bottom = 0;
  if (std::sscanf(text, "%g , %g , %g , %g", &left, &top, &right, &bottom) != 4) {
    const std::string message = text + std::string(kFrameHelp);
    platform::InfoBox(nullptr, message.c_str(), kProgramCaption);
    return false;
  }
  return CONTAINER_SetItemFrame(h, index, left, top, right, bottom);
}

bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

double ParseDecimal(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (!IsDigit(text[0]) && !(text[0] == '.' && IsDigit(text[1]))) return 0.0;
  double value = 0.0;
  const char* end = text + std::strlen(text);
  const std::from_chars_result read = std::from_chars(text, end, value);
  if (read.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when the number does not fit; strtod
    // on the same digits gives infinity for too large and zero (or the
    // nearest tiny value) for too small, which the item conversion saturates.
    value = std::strtod(std::string(text, read.ptr).c_str(), nullptr);
  }
  return negative ? -value : value;
}

std::string ValueText(int itemType, double value, int cap) {
  const auto v = static_cast<std::uint32_t>(TruncateToInt64(value));
  if (auto name = ConstantName(cap, static_cast<std::int32_t>(v))) return *name;
  const auto index = static_cast<unsigned>(itemType);
  const NumberForm form = index < std::size(kNumberForms) ? kNumberForms[index] : UnlistedText;
  return form(v, value);
}

std::string ItemText(int itemType, const void* item, int cap) {
  const int size = CONTAINER_ItemSize(itemType);
  if (!item && size > 0) return "<no item>";
  if (itemType == TWTY_FRAME) {
    TW_FRAME frame;
    std::memcpy(&frame, item, sizeof(frame));
    return FormatText("Frame(%g, %g, %g, %g)", Fix32ToNumber(frame.Left), Fix32ToNumber(frame.Top),
                      Fix32ToNumber(frame.Right), Fix32ToNumber(frame.Bottom));
  }
  if (IsStringType(itemType)) {
    // The item may fill its whole size with no terminating zero.
    const auto* chars = static_cast<const char*>(item);
    return '"' + std::string(chars, strnlen(chars, static_cast<std::size_t>(size))) + '"';
  }
  return ValueText(itemType, ItemNumber(item, itemType), cap);
}

std::string OneValueText(const ContainerHandle* h, int cap) {
  const int itemType = CONTAINER_ItemType(h);
  return ItemTypeName(itemType) + " ONEVALUE = " + ItemText(itemType, CONTAINER_ItemPtr(h, 0), cap);
}

double ItemNumber(const void* item, int itemType) {
  return ReadItemNumber(item, itemType & 0xFFFF);
}

bool HasNamedValues(int itemType, int cap) {
  if (itemType == TWTY_FRAME || IsStringType(itemType)) return false;
  return IsValueName(ValueText(itemType, 0.0, cap));
}

bool IsValueName(std::string_view text) {
  return !text.empty() && !IsDigit(text[0]);
}

bool StoreItemText(ContainerHandle* h, int index, int cap, const char* text, int selected) {
  if (!text) text = "";
  const int itemType = CONTAINER_ItemType(h);
  if (itemType == TWTY_FRAME) return StoreFrame(h, index, text);
  if (IsStringType(itemType)) return CONTAINER_SetItemText(h, index, text);
  const double value = HasNamedValues(itemType, cap) ? selected : ParseDecimal(text);
  return CONTAINER_SetItemValue(h, index, value);
}
