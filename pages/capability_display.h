// The texts the Capabilities page shows for a capability's answers: one line
// for a one-value, a drop-down of lines for the other shapes, "Error: ..."
// for a get that gave nothing; and the capability report built from them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "caps/container.h"

struct AnswerDisplay {
  bool asLines = false;            // a drop-down of lines, else one line
  std::string text;                // the one line
  std::vector<std::string> lines;  // the drop-down's lines, the first one shown
};

AnswerDisplay ContainerDisplay(const ContainerHandle* h, int cap);

// The three gets of the page, in the order they are shown.
enum AnswerKind { kAnswerGet, kAnswerCurrent, kAnswerDefault, kAnswerKinds };
constexpr const char* kAnswerMessages[kAnswerKinds] = {"MSG_GET", "MSG_GETCURRENT",
                                                       "MSG_GETDEFAULT"};

struct Answer {
  AnswerDisplay display;
  std::optional<std::string> current;  // the answer's current value, when it has one
};
// The logged get of the kind, displayed; the container is freed.
Answer GetAnswer(AnswerKind kind, int cap);

// The text of a container's current value: a one-value's item, an
// enumeration's item at CurrentIndex, a range's CurrentValue; nothing for an
// array or an index outside the items.
std::optional<std::string> CurrentValueText(const ContainerHandle* h, int cap);
// The note under a SET's line when the Source kept another value than the
// one sent; nothing when they agree or either is unknown.
std::optional<std::string> ReadBackNote(const std::optional<std::string>& sent,
                                        const std::optional<std::string>& current);

// The refusal lines shown instead of the three answers.
extern const char* const kRefusalLines[kAnswerKinds];

// The capability report: the identity report, then per capability its name
// and the three answers as the page shows them, silently asked; a refused
// capability is listed as refused and never asked. Lines end in "\r\n".
// Written into the caller's report, which outlives a fault in the Source.
void CapabilityReportText(const std::string& identityReport, const std::vector<int>& caps,
                          std::string& report);
