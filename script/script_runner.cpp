#include "script/script_runner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

#include "caps/logged_operations.h"
#include "pages/check_page.h"
#include "pages/fault_note.h"
#include "pages/hang_watch.h"
#include "pages/image_transfer.h"
#include "pages/log.h"
#include "platform/fault_guard.h"
#include "platform/message_box.h"
#include "platform/tick_count.h"
#include "session/source_guard.h"
#include "session/triplet_calls.h"
#include "session/twain_session.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

namespace {

// Higher and Lower steps one state walk may take before it gives up: six
// up and six down, and room for a Source that bounces back once.
constexpr int kMaxLadderSteps = 16;
constexpr std::uint32_t kPumpSlice = 50;

using ContainerPtr = std::unique_ptr<ContainerHandle, void (*)(ContainerHandle*)>;
ContainerPtr Owned(ContainerHandle* h) {
  return ContainerPtr(h, CONTAINER_Free);
}

const char* ShapeName(int format) {
  switch (format) {
    case TWON_ONEVALUE:
      return "ONEVALUE";
    case TWON_ENUMERATION:
      return "ENUMERATION";
    case TWON_RANGE:
      return "RANGE";
    case TWON_ARRAY:
      return "ARRAY";
    default:
      return "container";
  }
}

std::string CurrentItemText(const ContainerHandle* h, int cap, int index) {
  const int type = CONTAINER_ItemType(h);
  return ItemText(type, CONTAINER_ItemPtr(h, index), cap);
}

// One value the Source holds matched against the text a script expects.
bool ValueMatches(int type, int cap, const void* item, const std::string& expected) {
  if (!item) return false;
  if (type == TWTY_FRAME) {
    double want[4];
    TW_FRAME frame;
    std::memcpy(&frame, item, sizeof(frame));
    const double have[4] = {Fix32ToNumber(frame.Left), Fix32ToNumber(frame.Top),
                            Fix32ToNumber(frame.Right), Fix32ToNumber(frame.Bottom)};
    if (!ParseFrameText(expected, want)) return false;
    for (int i = 0; i < 4; ++i) {
      if (std::fabs(want[i] - have[i]) > 1.0 / 65536) return false;
    }
    return true;
  }
  if (type >= TWTY_STR32 && type <= TWTY_STR255) {
    std::string text = ItemText(type, item, cap);
    return text.size() >= 2 && text.substr(1, text.size() - 2) == expected;
  }
  const std::optional<double> want = ParseScriptValue(type, cap, expected, nullptr);
  const double tolerance = type == TWTY_FIX32 ? 1.0 / 65536 : 0.0;
  return want && std::fabs(*want - ItemNumber(item, type)) <= tolerance;
}

struct Outcome {
  bool held = true;
  std::string why;
};

constexpr const char* kWindowClosed = "the window was closed";

Outcome Fails(std::string why) {
  return {false, std::move(why)};
}

class ScriptRun {
 public:
  ScriptRun(const Script& script, ScriptHost& host) : script_(script), host_(host) {}

  int Run() {
    const std::uint32_t start = platform::TickCount();
    ReportBoxes();  // whatever the start-up climb showed belongs to no step
    const auto& steps = script_.steps;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const ScriptStep& step = steps[i];
      const ScriptStep* next = i + 1 == steps.size() ? nullptr : &steps[i + 1];
      LogNote("[%d] %s", step.line, step.text.c_str());
      Outcome outcome = RunStep(step, next);
      if (!outcome.held) {
        LogNote("[%d] failed: %s", step.line, outcome.why.c_str());
        LogNote("Script failed at line %d: %s", step.line, step.text.c_str());
        return kScriptFailed;
      }
    }
    LogNote("Script passed: %d steps [%4.2fs]", static_cast<int>(steps.size()),
            static_cast<std::uint32_t>(platform::TickCount() - start) * 0.001);
    return kScriptPassed;
  }

 private:
  Outcome RunStep(const ScriptStep& step, const ScriptStep* next) {
    const int state = TWAIN_State();
    if (!StepAllowedIn(step.word, state)) {
      return Fails("'" + StepWordText(step.word) + "' does not run in state " +
                   std::to_string(state));
    }
    // A Source's fault inside the step ends the script; the ladder's own
    // guard catches faults inside Higher first and reports them itself.
    Outcome outcome;
    platform::FaultInfo fault;
    if (!RunSourceGuarded([&] { outcome = Dispatch(step); }, &fault)) {
      LogFaultPlace(fault);
      return Fails(FormatText("fault 0x%08x inside the Source or the Source Manager", fault.code));
    }
    if (!IsExpectation(step.word)) RecordResult(step, next);
    if (!host_.Pump(0)) return Fails(kWindowClosed);
    // A box is the probe reporting an error of its own or a Source's fault:
    // no expected result excuses it.
    if (ReportBoxes()) return Fails("the probe reported an error in a message box");
    // A failure the next line expects is the script's business.
    if (!outcome.held && next && next->word == StepWord::kExpectResult &&
        !IsExpectation(step.word)) {
      LogNote("[%d] %s (line %d checks the result)", step.line, outcome.why.c_str(), next->line);
      return {};
    }
    return outcome;
  }

  static bool IsExpectation(StepWord word) {
    return word == StepWord::kExpectState || word == StepWord::kExpectResult ||
           word == StepWord::kExpectCurrent || word == StepWord::kExpectWidth ||
           word == StepWord::kExpectHeight || word == StepWord::kExpectDepth ||
           word == StepWord::kExpectFindings || word == StepWord::kExpectScore;
  }

  using Handler = Outcome (ScriptRun::*)(const ScriptStep&);
  struct Route {
    StepWord word;
    Handler handler;
  };

  Outcome Dispatch(const ScriptStep& step) {
    static constexpr Route kRoutes[] = {
        {StepWord::kSource, &ScriptRun::Source},
        {StepWord::kState, &ScriptRun::State},
        {StepWord::kUi, &ScriptRun::Ui},
        {StepWord::kMech, &ScriptRun::Mech},
        {StepWord::kTimeout, &ScriptRun::Timeout},
        {StepWord::kGet, &ScriptRun::Get},
        {StepWord::kGetCurrent, &ScriptRun::Get},
        {StepWord::kGetDefault, &ScriptRun::Get},
        {StepWord::kSet, &ScriptRun::Set},
        {StepWord::kReset, &ScriptRun::Reset},
        {StepWord::kTransfer, &ScriptRun::Transfer},
        {StepWord::kExpectState, &ScriptRun::ExpectState},
        {StepWord::kExpectResult, &ScriptRun::ExpectResult},
        {StepWord::kExpectCurrent, &ScriptRun::ExpectCurrent},
        {StepWord::kExpectWidth, &ScriptRun::ExpectImage},
        {StepWord::kExpectHeight, &ScriptRun::ExpectImage},
        {StepWord::kExpectDepth, &ScriptRun::ExpectImage},
        {StepWord::kCheck, &ScriptRun::Check},
        {StepWord::kExpectFindings, &ScriptRun::ExpectFindings},
        {StepWord::kExpectScore, &ScriptRun::ExpectScore},
    };
    for (const Route& route : kRoutes) {
      if (route.word == step.word) return (this->*route.handler)(step);
    }
    // The Layout and Image Info pages describe their triplets with result
    // texts, as the logged operations do.
    loggedOperation_ = step.word == StepWord::kLayoutGet ||
                       step.word == StepWord::kLayoutGetDefault ||
                       step.word == StepWord::kLayoutSet || step.word == StepWord::kLayoutReset ||
                       step.word == StepWord::kImageInfo;
    std::string why;
    if (!host_.PageStep(step, why)) return Fails(why);
    return {};
  }

  // The result an `expect result` line compares: a logged operation's own
  // result text, else the last triplet's return code, with the condition
  // code asked only when the next line wants it.
  void RecordResult(const ScriptStep& step, const ScriptStep* next) {
    if (loggedOperation_) {
      resultText_ = LastResultText();
    } else if (step.word == StepWord::kTransfer && !LastTransferFailureText().empty()) {
      // The failed triplet's condition was asked once already.
      resultText_ = LastTransferFailureText();
    } else if (next && next->word == StepWord::kExpectResult && next->conditionCode >= 0) {
      resultText_ = ResultText();
    } else {
      resultText_ = ResultCodeName(TWAIN_GetResultCode());
    }
    loggedOperation_ = false;
  }

  // Message boxes are captured in a scripted run: each becomes a log note.
  bool ReportBoxes() {
    const auto boxes = platform::TakeCapturedMessageBoxes();
    for (const auto& box : boxes) {
      std::string text = box.text;
      for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
      }
      LogNote("message box \"%s\": %s", box.caption.c_str(), text.c_str());
    }
    return !boxes.empty();
  }

  std::uint32_t WaitLimit() const { return static_cast<std::uint32_t>(waitSeconds_) * 1000u; }

  // Lets the window run until the state leaves 5, the wait's limit passes or
  // the window closes.
  Outcome WaitForImageReady() {
    const std::uint32_t start = platform::TickCount();
    while (TWAIN_State() == 5) {
      if (static_cast<std::uint32_t>(platform::TickCount() - start) >= WaitLimit()) {
        return Fails(FormatText("no image became ready within %d s in state 5", waitSeconds_));
      }
      if (!host_.Pump(kPumpSlice)) return Fails(kWindowClosed);
    }
    return {};
  }

  Outcome Source(const ScriptStep& step) {
    LadderView& view = host_.View();
    int found = -1;
    std::string listed;
    for (int i = 0; i < view.SourceCount(); ++i) {
      const std::string text = view.SourceText(i);
      listed += (listed.empty() ? "" : ", ") + text;
      if (found < 0 && EqualIgnoringCase(text, step.name)) found = i;
      if (text == step.name) found = i;
    }
    if (found < 0) return Fails("no Source named \"" + step.name + "\" is listed (" + listed + ")");
    const std::string name = view.SourceText(found);
    if (TWAIN_State() >= 4 && view.SelectedSource() == found && name == TWAIN_SourceProductName()) {
      LogNote("%s is open already", name.c_str());
      return {};
    }
    view.SelectSource(found);
    host_.Ladder().ChangeSource();
    if (TWAIN_State() != 4 || name != TWAIN_SourceProductName()) {
      return Fails(
          FormatText("%s did not open; the session is in state %d", name.c_str(), TWAIN_State()));
    }
    return {};
  }

  Outcome State(const ScriptStep& step) {
    for (int taken = 0; taken < kMaxLadderSteps; ++taken) {
      const int state = TWAIN_State();
      if (state == step.number) return {};
      if (state == 5 && step.number > 5) {
        // Image Ready comes from the Source, not from Higher.
        if (Outcome waited = WaitForImageReady(); !waited.held) return waited;
        continue;
      }
      const bool up = state < step.number;
      if (up) {
        if (state == 6 && !host_.Builds(StepWord::kTransfer)) {
          return Fails("image transfer is not built in this version");
        }
        host_.Ladder().StepUp();
      } else {
        host_.Ladder().StepDown();
      }
      if (!host_.Pump(0)) return Fails(kWindowClosed);
      if (TWAIN_State() == state) {
        return Fails(FormatText("'%s' in state %d left the session in state %d",
                                up ? "Higher" : "Lower", state, state));
      }
    }
    return Fails(FormatText("state %d not reached in %d steps; the session is in state %d",
                            step.number, kMaxLadderSteps, TWAIN_State()));
  }

  Outcome Ui(const ScriptStep& step) {
    host_.ClickDeviceUi(step.number != 0);
    return {};
  }

  Outcome Mech(const ScriptStep& step) {
    loggedOperation_ = true;
    if (!LoggedSetOneValue(ICAP_XFERMECH, TWTY_UINT16, step.number)) {
      return Fails("the Source refused the transfer mechanism");
    }
    return {};
  }

  Outcome Timeout(const ScriptStep& step) {
    waitSeconds_ = step.number;
    // The same limit bounds a call into the Source that does not return.
    TheHangSettings().scriptLimitSeconds = static_cast<std::uint32_t>(step.number);
    return {};
  }

  Outcome Get(const ScriptStep& step) {
    using Operation = ContainerHandle* (*)(TW_UINT16);
    const Operation operation = step.word == StepWord::kGet          ? LoggedGet
                                : step.word == StepWord::kGetCurrent ? LoggedGetCurrent
                                                                     : LoggedGetDefault;
    loggedOperation_ = true;
    ContainerPtr h = Owned(operation(static_cast<TW_UINT16>(step.cap)));
    if (!h) return Fails("the Source answered no container");
    LogNote("%s", ContainerSummary(h.get(), step.cap).c_str());
    return {};
  }

  ContainerPtr Build(const ScriptStep& step) {
    const int count = static_cast<int>(step.values.size());
    switch (step.shape) {
      case TWON_ONEVALUE:
        return Owned(CONTAINER_CreateOneValue(step.itemType, 0));
      case TWON_ENUMERATION:
        return Owned(CONTAINER_CreateEnumeration(step.itemType, count));
      case TWON_ARRAY:
        return Owned(CONTAINER_CreateArray(step.itemType, count));
      default:
        return Owned(CONTAINER_CreateRange(step.itemType, step.values[0].number,
                                           step.values[1].number, step.values[2].number));
    }
  }

  Outcome Set(const ScriptStep& step) {
    ContainerPtr h = Build(step);
    if (!h) return Fails("no memory for the container");
    if (step.shape == TWON_RANGE) {
      if (!CONTAINER_SelectCurrent(h.get(), step.current) ||
          !CONTAINER_SelectDefault(h.get(), step.fallback)) {
        return Fails("the range's current or default value is not one of its values");
      }
    } else {
      for (std::size_t i = 0; i < step.values.size(); ++i) {
        const ScriptValue& value = step.values[i];
        // A number item takes the value the reader found, which may have been
        // written as a capability's name.
        const bool stored =
            step.itemType == TWTY_FRAME || step.itemType >= TWTY_STR32
                ? StoreItemText(h.get(), static_cast<int>(i), step.cap, value.text.c_str(), 0)
                : CONTAINER_SetItemValue(h.get(), static_cast<int>(i), value.number);
        if (!stored) {
          return Fails("'" + value.text + "' could not be stored");
        }
      }
      if (step.shape == TWON_ENUMERATION) {
        CONTAINER_SelectCurrentItem(h.get(), static_cast<int>(step.current));
        CONTAINER_SelectDefaultItem(h.get(), static_cast<int>(step.fallback));
      }
    }
    loggedOperation_ = true;
    if (!LoggedSet(static_cast<TW_UINT16>(step.cap), h.get())) return Fails("MSG_SET failed");
    return {};
  }

  Outcome Reset(const ScriptStep& step) {
    loggedOperation_ = true;
    if (!LoggedReset(static_cast<TW_UINT16>(step.cap))) return Fails("MSG_RESET failed");
    return {};
  }

  Outcome Transfer(const ScriptStep&) {
    host_.Ladder().StepUp();
    if (TWAIN_State() != 7) {
      return Fails(
          FormatText("no image was transferred; the session is in state %d", TWAIN_State()));
    }
    return {};
  }

  Outcome ExpectState(const ScriptStep& step) {
    if (TWAIN_State() == step.number) return {};
    return Fails(
        FormatText("expected state %d, the session is in state %d", step.number, TWAIN_State()));
  }

  Outcome ExpectResult(const ScriptStep& step) {
    const std::size_t comma = resultText_.find(", ");
    const std::string rc = resultText_.substr(0, comma);
    const std::string cc = comma == std::string::npos ? ConditionCodeName(TWCC_SUCCESS)
                                                      : resultText_.substr(comma + 2);
    const bool held = rc == ResultCodeName(step.number) &&
                      (step.conditionCode < 0 || cc == ConditionCodeName(step.conditionCode));
    if (held) return {};
    std::string expected = ResultCodeName(step.number);
    if (step.conditionCode >= 0) expected += ", " + ConditionCodeName(step.conditionCode);
    return Fails("expected " + expected + ", the last step gave " + resultText_);
  }

  Outcome ExpectCurrent(const ScriptStep& step) {
    ContainerPtr h = Owned(LoggedGetCurrent(static_cast<TW_UINT16>(step.cap)));
    if (!h) return Fails("MSG_GETCURRENT(" + CapName(step.cap) + ") failed");
    const int type = CONTAINER_ItemType(h.get());
    const int format = CONTAINER_Format(h.get());
    std::vector<std::string> have;
    bool held = true;
    if (format == TWON_ARRAY) {
      const int count = CONTAINER_ItemCount(h.get());
      held = count == static_cast<int>(step.values.size());
      for (int i = 0; i < count && i < kMaxScriptItems; ++i) {
        have.push_back(CurrentItemText(h.get(), step.cap, i));
        if (held && !ValueMatches(type, step.cap, CONTAINER_ItemPtr(h.get(), i),
                                  step.values[static_cast<std::size_t>(i)].text)) {
          held = false;
        }
      }
    } else {
      held = step.values.size() == 1;
      if (format == TWON_RANGE) {
        const double value = CONTAINER_CurrentValue(h.get());
        have.push_back(ValueText(type, value, step.cap));
        const std::optional<double> want =
            ParseScriptValue(type, step.cap, step.values[0].text, nullptr);
        held = held && want && std::fabs(*want - value) <= (type == TWTY_FIX32 ? 1.0 / 65536 : 0);
      } else {
        const int index = format == TWON_ENUMERATION ? CONTAINER_CurrentIndex(h.get()) : 0;
        have.push_back(CurrentItemText(h.get(), step.cap, index));
        held = held &&
               ValueMatches(type, step.cap, CONTAINER_ItemPtr(h.get(), index), step.values[0].text);
      }
    }
    if (held) return {};
    std::string want, got;
    for (const ScriptValue& value : step.values) want += (want.empty() ? "" : " ") + value.text;
    for (const std::string& text : have) got += (got.empty() ? "" : " ") + text;
    return Fails("expected " + CapName(step.cap) + " current " + want + ", the Source has " + got);
  }

  Outcome ExpectImage(const ScriptStep& step) {
    int width = 0, height = 0, depth = 0;
    if (!host_.LastImage(width, height, depth)) return Fails("there is no image");
    const char* what = step.word == StepWord::kExpectWidth    ? "width"
                       : step.word == StepWord::kExpectHeight ? "height"
                                                              : "depth";
    const int have = step.word == StepWord::kExpectWidth    ? width
                     : step.word == StepWord::kExpectHeight ? height
                                                            : depth;
    if (have == step.number) return {};
    return Fails(FormatText("expected %s %d, the image has %d", what, step.number, have));
  }

  Outcome Check(const ScriptStep& step) {
    std::vector<std::string> groups;
    for (const ScriptValue& group : step.values) groups.push_back(group.text);
    lastPass_ = RunSourceCheck(host_.Ladder(), groups, [this] { host_.ShowProgress(); });
    const int count = FindingCount(*lastPass_);
    const std::string list = count > 0 ? ": " + FindingList(*lastPass_) : "";
    LogNote("%d finding(s)%s", count, list.c_str());
    // The score of a pass cut short says nothing about what it did not reach.
    if (!lastPass_->stopped.empty()) return Fails("the check stopped: " + lastPass_->stopped);
    return {};
  }

  static int FindingCount(const CheckResult& pass) {
    return static_cast<int>(std::count_if(pass.findings.begin(), pass.findings.end(),
                                          [](const Finding& f) { return !f.suppressed; }));
  }

  // "mandatory.get ICAP_UNITS, identity.version", the first few.
  static std::string FindingList(const CheckResult& pass) {
    constexpr int kListed = 5;
    std::string list;
    int listed = 0;
    for (const Finding& finding : pass.findings) {
      if (finding.suppressed) continue;
      if (++listed > kListed) return list + ", ...";
      list += (list.empty() ? "" : ", ") + finding.checkId;
      if (finding.cap >= 0) list += " " + CapName(finding.cap);
    }
    return list;
  }

  Outcome ExpectFindings(const ScriptStep& step) {
    if (!lastPass_) return Fails("no check has run");
    const int count = FindingCount(*lastPass_);
    if (count == step.number) return {};
    return Fails(FormatText("expected %d finding(s), the last check found %d", step.number, count) +
                 (count > 0 ? " (" + FindingList(*lastPass_) + ")" : ""));
  }

  Outcome ExpectScore(const ScriptStep& step) {
    if (!lastPass_) return Fails("no check has run");
    if (lastPass_->score >= step.number) return {};
    return Fails(FormatText("expected a score of at least %d, the last check scored %d",
                            step.number, lastPass_->score));
  }

  const Script& script_;
  ScriptHost& host_;
  std::optional<CheckResult> lastPass_;
  int waitSeconds_ = kDefaultWaitSeconds;
  std::string resultText_ = ResultCodeName(TWRC_SUCCESS);
  bool loggedOperation_ = false;
};

}  // namespace

int RunScript(const Script& script, ScriptHost& host) {
  if (!script.errors.empty()) return kScriptBad;
  return ScriptRun(script, host).Run();
}

std::vector<ScriptError> UnbuiltSteps(const Script& script, ScriptHost& host) {
  std::vector<ScriptError> errors;
  for (const ScriptStep& step : script.steps) {
    const bool transfers =
        step.word == StepWord::kTransfer || (step.word == StepWord::kState && step.number == 7);
    const StepWord needed = transfers ? StepWord::kTransfer : step.word;
    const bool pageStep = transfers || step.word == StepWord::kSaveImage ||
                          step.word == StepWord::kSaveReport || step.word == StepWord::kLayoutGet ||
                          step.word == StepWord::kLayoutGetDefault ||
                          step.word == StepWord::kLayoutSet ||
                          step.word == StepWord::kLayoutReset || step.word == StepWord::kImageInfo;
    if (pageStep && !host.Builds(needed) && errors.size() < kMaxScriptErrors) {
      errors.push_back({step.line, "'" + StepWordText(step.word) +
                                       (transfers && step.word == StepWord::kState ? " 7" : "") +
                                       "' needs a page that is not built in this version"});
    }
  }
  return errors;
}

std::string ContainerSummary(const ContainerHandle* h, int cap) {
  const int format = CONTAINER_Format(h);
  const int type = CONTAINER_ItemType(h);
  if (format == TWON_ONEVALUE) return OneValueText(h, cap);
  std::string text = ItemTypeName(type) + " " + ShapeName(format);
  if (format == TWON_RANGE) {
    return text + FormatText(" %s to %s step %s, current %s, default %s",
                             ValueText(type, CONTAINER_RangeMin(h), cap).c_str(),
                             ValueText(type, CONTAINER_RangeMax(h), cap).c_str(),
                             ValueText(type, CONTAINER_RangeStep(h), cap).c_str(),
                             ValueText(type, CONTAINER_CurrentValue(h), cap).c_str(),
                             ValueText(type, CONTAINER_DefaultValue(h), cap).c_str());
  }
  const int count = CONTAINER_ItemCount(h);
  text += FormatText(" of %d", count);
  if (format == TWON_ENUMERATION) {
    text += ", current " + CurrentItemText(h, cap, CONTAINER_CurrentIndex(h)) + ", default " +
            CurrentItemText(h, cap, CONTAINER_DefaultIndex(h));
  } else if (count > 0) {
    text += ": " + CurrentItemText(h, cap, 0) + (count > 1 ? " ..." : "");
  }
  return text;
}
