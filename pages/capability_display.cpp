#include "pages/capability_display.h"

#include "caps/logged_operations.h"
#include "pages/capability_enumeration.h"
#include "pages/log.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

const char* const kRefusalLines[kAnswerKinds] = {" This capability is dangerous",
                                                 " with this DataSource.",
                                                 " Vorrel is scared.  Vorrel not touch."};

namespace {

using LoggedGetFn = ContainerHandle* (*)(TW_UINT16);
constexpr LoggedGetFn kGets[kAnswerKinds] = {LoggedGet, LoggedGetCurrent, LoggedGetDefault};

std::string ItemAt(const ContainerHandle* h, int i, int cap) {
  return ItemText(CONTAINER_ItemType(h), CONTAINER_ItemPtr(h, i), cap);
}

void ArrayLines(const ContainerHandle* h, int cap, std::vector<std::string>& lines) {
  lines.push_back(ItemTypeName(CONTAINER_ItemType(h)) + " ARRAY");
  const int count = CONTAINER_ItemCount(h);
  for (int i = 0; i < count; ++i) lines.push_back(FormatText("%d. ", i) + ItemAt(h, i, cap));
}

void EnumerationLines(const ContainerHandle* h, int cap, std::vector<std::string>& lines) {
  const int count = CONTAINER_ItemCount(h);
  const int currentIndex = CONTAINER_CurrentIndex(h);
  const int defaultIndex = CONTAINER_DefaultIndex(h);
  std::string current = "<UNKNOWN>";
  std::optional<std::string> defaultLine;
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) {
    const std::string text = ItemAt(h, i, cap);
    items.push_back(FormatText("[%d] ", i) + text);
    if (i == defaultIndex) defaultLine = "Default: " + text;
    if (i == currentIndex) current = text;
  }
  lines.push_back(ItemTypeName(CONTAINER_ItemType(h)) + " ENUMERATION = " + current);
  if (defaultLine) lines.push_back(*defaultLine);
  lines.insert(lines.end(), items.begin(), items.end());
}

void RangeLines(const ContainerHandle* h, int cap, std::vector<std::string>& lines) {
  const int type = CONTAINER_ItemType(h);
  auto text = [&](double value) { return ValueText(type, value, cap); };
  lines.push_back(ItemTypeName(type) + " RANGE = " + text(CONTAINER_CurrentValue(h)));
  lines.push_back("from " + text(CONTAINER_RangeMin(h)) + " to " + text(CONTAINER_RangeMax(h)) +
                  " step " + text(CONTAINER_RangeStep(h)));
  lines.push_back("Default: " + text(CONTAINER_DefaultValue(h)));
}

}  // namespace

AnswerDisplay ContainerDisplay(const ContainerHandle* h, int cap) {
  AnswerDisplay display;
  const int format = CONTAINER_Format(h);
  switch (format) {
    case TWON_ONEVALUE:
      display.text = OneValueText(h, cap);
      return display;
    case TWON_ARRAY:
      ArrayLines(h, cap, display.lines);
      break;
    case TWON_ENUMERATION:
      EnumerationLines(h, cap, display.lines);
      break;
    case TWON_RANGE:
      RangeLines(h, cap, display.lines);
      break;
    default:
      display.text = FormatText("<unknown container type: %d>", format);
      return display;
  }
  display.asLines = true;
  return display;
}

Answer GetAnswer(AnswerKind kind, int cap) {
  Answer answer;
  ContainerHandle* h = kGets[kind](static_cast<TW_UINT16>(cap));
  if (!h) {
    answer.display.text = "Error: " + LastResultText();
    return answer;
  }
  answer.display = ContainerDisplay(h, cap);
  answer.current = CurrentValueText(h, cap);
  CONTAINER_Free(h);
  return answer;
}

std::optional<std::string> CurrentValueText(const ContainerHandle* h, int cap) {
  switch (CONTAINER_Format(h)) {
    case TWON_ONEVALUE:
      return ItemAt(h, 0, cap);
    case TWON_ENUMERATION: {
      const int index = CONTAINER_CurrentIndex(h);
      if (index < 0 || index >= CONTAINER_ItemCount(h)) return std::nullopt;
      return ItemAt(h, index, cap);
    }
    case TWON_RANGE:
      return ValueText(CONTAINER_ItemType(h), CONTAINER_CurrentValue(h), cap);
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ReadBackNote(const std::optional<std::string>& sent,
                                        const std::optional<std::string>& current) {
  if (!sent || !current || *sent == *current) return std::nullopt;
  return "current value is now " + *current + " (sent " + *sent + ")";
}

void CapabilityReportText(const std::string& identityReport, const std::vector<int>& caps,
                          std::string& report) {
  report = identityReport;
  const bool wasOn = LogSwitch();
  SetLogSwitch(false);
  for (int cap : caps) {
    report += "\r\n" + CapName(cap) + "\r\n";
    if (IsRefusedCapability(cap)) {
      report += "  refused: never asked\r\n";
      continue;
    }
    for (int kind = 0; kind < kAnswerKinds; ++kind) {
      const AnswerDisplay display = GetAnswer(static_cast<AnswerKind>(kind), cap).display;
      report += std::string("  ") + kAnswerMessages[kind] + "\r\n";
      if (!display.asLines) {
        report += "    " + display.text + "\r\n";
        continue;
      }
      for (const std::string& line : display.lines) report += "    " + line + "\r\n";
    }
  }
  SetLogSwitch(wasOn);
}
