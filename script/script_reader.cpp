#include "script/script_reader.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <tuple>

#include "caps/container.h"
#include "pages/check_page.h"
#include "twain/twain.h"
#include "vocab/item_types.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

namespace {

using Args = std::vector<std::string>;
using Parser = bool (*)(const Args& args, ScriptStep& step, std::string& why);

constexpr unsigned StatesFrom(int low, int high) {
  unsigned mask = 0;
  for (int s = low; s <= high; ++s) mask |= 1u << s;
  return mask;
}
constexpr unsigned kAnyState = StatesFrom(1, 7);
constexpr unsigned kState4 = StatesFrom(4, 4);
constexpr unsigned kOpenSource = StatesFrom(4, 7);

// Named values are looked for among this many numbers from 0.
constexpr int kMaxNamedValue = 256;

struct NumberRange {
  double min;
  double max;
  bool whole;
};
// Indexed by the TWTY code.
constexpr NumberRange kNumberRanges[] = {{-128, 127, true},
                                         {-32768, 32767, true},
                                         {-2147483648.0, 2147483647.0, true},
                                         {0, 255, true},
                                         {0, 65535, true},
                                         {0, 4294967295.0, true},
                                         {0, 1, true},
                                         {-32768, 32767 + 65535.0 / 65536, false}};
static_assert(std::size(kNumberRanges) == TWTY_FIX32 + 1);

// A whole decimal number, as the editors read one: no hexadecimal, no
// infinity or NaN, nothing after it.
std::optional<double> ParseDecimalText(const std::string& text) {
  const char* p = text.c_str();
  const char* digits = (*p == '-' || *p == '+') ? p + 1 : p;
  const bool startsWell = std::isdigit(static_cast<unsigned char>(digits[0])) ||
                          (digits[0] == '.' && std::isdigit(static_cast<unsigned char>(digits[1])));
  if (!startsWell || (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))) {
    return std::nullopt;
  }
  char* end = nullptr;
  const double value = std::strtod(p, &end);
  if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A frame edge: a number, in the form the editors read, that a TW_FIX32 holds.
std::optional<double> ParseFrameEdge(const std::string& text) {
  const std::optional<double> value = ParseDecimalText(text);
  if (!value || *value < kNumberRanges[TWTY_FIX32].min || *value > kNumberRanges[TWTY_FIX32].max) {
    return std::nullopt;
  }
  return value;
}

std::optional<long> ParseWhole(const std::string& text, long min, long max) {
  const std::optional<double> value = ParseDecimalText(text);
  if (!value) return std::nullopt;
  if (*value != std::floor(*value) || *value < min || *value > max) return std::nullopt;
  return static_cast<long>(*value);
}

// A capability by its standard name or its number (decimal or 0x hex).
std::optional<int> ParseCap(const std::string& text) {
  if (std::optional<int> code = CapCode(text)) return code;
  const bool hex = StartsWithIgnoringCase(text, "0x");
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
  if (text.empty() || *end != '\0' || value < 1 || value > 0xFFFF) return std::nullopt;
  if (!hex && !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  return static_cast<int>(value);
}

bool CapArgument(const std::string& text, ScriptStep& step, std::string& why) {
  const std::optional<int> cap = ParseCap(text);
  if (!cap) {
    why = "'" + text + "' is not a capability (a name such as ICAP_PIXELTYPE, or a number)";
    return false;
  }
  step.cap = *cap;
  return true;
}

std::optional<int> ItemTypeCode(const std::string& text) {
  for (int type = TWTY_INT8; type <= TWTY_STR255; ++type) {
    if (EqualIgnoringCase(ItemTypeName(type), text)) return type;
  }
  return std::nullopt;
}

std::optional<double> NamedValue(int itemType, int cap, const std::string& text) {
  if (cap == CAP_SUPPORTEDCAPS || cap == CAP_EXTENDEDCAPS || cap == CAP_SUPPORTEDCAPSEXT) {
    if (std::optional<int> code = CapCode(text)) return *code;
  }
  if (!HasNamedValues(itemType, cap)) return std::nullopt;
  for (int value = 0; value < kMaxNamedValue; ++value) {
    if (EqualIgnoringCase(ValueText(itemType, value, cap), text)) return value;
  }
  return std::nullopt;
}

// Steps.

bool ParseSource(const Args& args, ScriptStep& step, std::string& why) {
  if (args[0].empty() || args[0].size() > sizeof(TW_STR32) - 2) {
    why = "a Source's name has 1 to 32 characters";
    return false;
  }
  step.name = args[0];
  return true;
}

// A whole number within its bounds as the step's number.
bool WholeArgument(const std::string& text, long min, long max, const std::string& what,
                   ScriptStep& step, std::string& why) {
  const std::optional<long> value = ParseWhole(text, min, max);
  if (!value) {
    why = "'" + text + "' is not " + what;
    return false;
  }
  step.number = static_cast<int>(*value);
  return true;
}

bool ParseStateNumber(const Args& args, ScriptStep& step, std::string& why) {
  return WholeArgument(args[0], 1, 7, "a state (1 to 7)", step, why);
}

bool ParseUi(const Args& args, ScriptStep& step, std::string& why) {
  if (EqualIgnoringCase(args[0], "on") || EqualIgnoringCase(args[0], "off")) {
    step.number = EqualIgnoringCase(args[0], "on") ? 1 : 0;
    return true;
  }
  why = "'" + args[0] + "' is neither on nor off";
  return false;
}

bool ParseMech(const Args& args, ScriptStep& step, std::string& why) {
  constexpr const char* kWords[] = {"native", "file", "memory"};
  for (int mech = 0; mech < static_cast<int>(std::size(kWords)); ++mech) {
    if (EqualIgnoringCase(args[0], kWords[mech])) {
      step.number = mech;
      return true;
    }
  }
  why = "'" + args[0] + "' is not a transfer mechanism (native, file or memory)";
  return false;
}

bool ParseTimeout(const Args& args, ScriptStep& step, std::string& why) {
  return WholeArgument(args[0], 1, kMaxWaitSeconds,
                       "a number of seconds (1 to " + std::to_string(kMaxWaitSeconds) + ")", step,
                       why);
}

bool ParseCapOnly(const Args& args, ScriptStep& step, std::string& why) {
  return CapArgument(args[0], step, why);
}

bool ParsePath(const Args& args, ScriptStep& step, std::string& why) {
  if (args[0].empty()) {
    why = "the file's path is empty";
    return false;
  }
  step.name = args[0];
  return true;
}

bool ParseImagePath(const Args& args, ScriptStep& step, std::string& why) {
  if (!ParsePath(args, step, why)) return false;
  const std::size_t dot = step.name.find_last_of('.');
  const std::string extension = dot == std::string::npos ? "" : step.name.substr(dot);
  if (EqualIgnoringCase(extension, ".bmp") || EqualIgnoringCase(extension, ".png")) return true;
  why = "an image is saved as .bmp or .png";
  return false;
}

bool ParseNothing(const Args&, ScriptStep&, std::string&) {
  return true;
}

bool ParseLayoutSet(const Args& args, ScriptStep& step, std::string& why) {
  for (int i = 0; i < 4; ++i) {
    const std::optional<double> value = ParseFrameEdge(args[static_cast<std::size_t>(i)]);
    if (!value) {
      why = "'" + args[static_cast<std::size_t>(i)] + "' is not a frame edge (a number)";
      return false;
    }
    step.frame[i] = *value;
  }
  return true;
}

// The groups of a conformance pass; none named runs them all.
bool ParseCheck(const Args& args, ScriptStep& step, std::string& why) {
  if (args.empty()) return true;
  std::vector<std::string> groups;
  if (!ReadCheckGroups(args[0], groups, why)) return false;
  for (std::string& group : groups) step.values.push_back({std::move(group), 0});
  return true;
}

bool ParseFindings(const Args& args, ScriptStep& step, std::string& why) {
  return WholeArgument(args[0], 0, 0x7FFFFFFF, "a number of findings (0 or more)", step, why);
}

bool ParseScore(const Args& args, ScriptStep& step, std::string& why) {
  if (args[0] != ">=") {
    why = "a score is compared with >=";
    return false;
  }
  return WholeArgument(args[1], 0, 100, "a score (0 to 100)", step, why);
}

bool ParseExpectResult(const Args& args, ScriptStep& step, std::string& why) {
  const std::optional<int> rc = ResultCodeByName(args[0]);
  if (!rc) {
    why = "'" + args[0] + "' is not a return code (TWRC_SUCCESS, TWRC_FAILURE, ...)";
    return false;
  }
  step.number = *rc;
  if (args.size() < 2) return true;
  const std::optional<int> cc = ConditionCodeByName(args[1]);
  if (!cc) {
    why = "'" + args[1] + "' is not a condition code (TWCC_BADCAP, ...)";
    return false;
  }
  step.conditionCode = *cc;
  return true;
}

bool WithinItemLimit(std::size_t count, std::string& why) {
  if (count <= kMaxScriptItems) return true;
  why = "more than " + std::to_string(kMaxScriptItems) + " items";
  return false;
}

bool ParseExpectCurrent(const Args& args, ScriptStep& step, std::string& why) {
  if (!CapArgument(args[0], step, why)) return false;
  if (!WithinItemLimit(args.size() - 1, why)) return false;
  // The item type is the Source's, known only when it answers.
  for (std::size_t i = 1; i < args.size(); ++i) step.values.push_back({args[i], 0});
  return true;
}

bool ParsePixels(const Args& args, ScriptStep& step, std::string& why) {
  return WholeArgument(args[0], 0, 0x7FFFFFFF, "a whole number of 0 or more", step, why);
}

// "current=2", "default=TWPT_RGB": the option's value text, else nothing.
std::optional<std::string> OptionText(const std::string& arg, const char* option) {
  const std::string prefix = std::string(option) + "=";
  if (!StartsWithIgnoringCase(arg, prefix)) return std::nullopt;
  return arg.substr(prefix.size());
}

bool ParseSet(const Args& args, ScriptStep& step, std::string& why) {
  if (!CapArgument(args[0], step, why)) return false;
  struct Shape {
    const char* word;
    int format;
  };
  constexpr Shape kShapes[] = {{"onevalue", TWON_ONEVALUE},
                               {"enumeration", TWON_ENUMERATION},
                               {"range", TWON_RANGE},
                               {"array", TWON_ARRAY}};
  step.shape = 0;
  for (const Shape& shape : kShapes) {
    if (EqualIgnoringCase(args[1], shape.word)) step.shape = shape.format;
  }
  if (!step.shape) {
    why = "'" + args[1] + "' is not a container shape (onevalue, enumeration, range or array)";
    return false;
  }
  const std::optional<int> type = ItemTypeCode(args[2]);
  if (!type) {
    why = "'" + args[2] +
          "' is not an item type (int8 ... uint32, bool, fix32, frame, str32 ... str255)";
    return false;
  }
  step.itemType = *type;
  if (step.shape == TWON_RANGE && !IsNumberType(step.itemType)) {
    why = "a range holds numbers, not " + args[2];
    return false;
  }

  Args items;
  std::optional<std::string> current, fallback;
  for (std::size_t i = 3; i < args.size(); ++i) {
    const bool options = step.shape == TWON_ENUMERATION || step.shape == TWON_RANGE;
    if (options && OptionText(args[i], "current")) {
      current = OptionText(args[i], "current");
    } else if (options && OptionText(args[i], "default")) {
      fallback = OptionText(args[i], "default");
    } else {
      items.push_back(args[i]);
    }
  }
  const std::size_t wanted = step.shape == TWON_ONEVALUE ? 1 : step.shape == TWON_RANGE ? 3 : 0;
  if (wanted && items.size() != wanted) {
    why = step.shape == TWON_ONEVALUE ? "a onevalue takes one value"
                                      : "a range takes min, max and step";
    return false;
  }
  if (items.empty()) {
    why = "the container needs at least one value";
    return false;
  }
  if (!WithinItemLimit(items.size(), why)) return false;
  for (const std::string& item : items) {
    const std::optional<double> number = ParseScriptValue(step.itemType, step.cap, item, &why);
    if (!number) return false;
    step.values.push_back({item, *number});
  }

  step.currentGiven = current.has_value();
  step.defaultGiven = fallback.has_value();
  if (step.shape == TWON_ENUMERATION) {
    const long last = static_cast<long>(items.size()) - 1;
    for (auto [text, target, name] : {std::tuple{current, &step.current, "current"},
                                      std::tuple{fallback, &step.fallback, "default"}}) {
      if (!text) continue;
      const std::optional<long> index = ParseWhole(*text, 0, last);
      if (!index) {
        why = std::string(name) + "= takes an item's index, 0 to " + std::to_string(last);
        return false;
      }
      *target = static_cast<double>(*index);
    }
  }
  if (step.shape == TWON_RANGE) {
    const double min = step.values[0].number, max = step.values[1].number,
                 stepSize = step.values[2].number;
    if (min > max || stepSize <= 0) {
      why = "a range needs min <= max and a step above 0";
      return false;
    }
    step.current = step.fallback = min;
    for (auto [text, target, name] : {std::tuple{current, &step.current, "current"},
                                      std::tuple{fallback, &step.fallback, "default"}}) {
      if (!text) continue;
      const std::optional<double> value = ParseScriptValue(step.itemType, step.cap, *text, &why);
      if (!value) return false;
      const double steps = (*value - min) / stepSize;
      if (*value < min || *value > max || std::fabs(steps - std::round(steps)) > 1e-6) {
        why =
            std::string(name) + "= must be a value of the range (min plus a whole number of steps)";
        return false;
      }
      *target = *value;
    }
  }
  return true;
}

// What an earlier line must have done for a step to have something to look at.
enum Needs { kNothing, kImage, kPass };

struct StepRule {
  const char* first;
  const char* second;  // null for one-word steps
  StepWord word;
  int minArgs;
  int maxArgs;
  unsigned states;
  int leaves;  // the state the step leaves the session in when it holds; 0 unchanged
  Needs needs;
  Parser parse;
  const char* usage;
};

constexpr int kArgState = -1;  // leaves the state its argument names
constexpr int kMany = 1 << 20;

constexpr StepRule kRules[] = {
    {"source", nullptr, StepWord::kSource, 1, 1, StatesFrom(3, 7), 4, kNothing, ParseSource,
     "source NAME"},
    {"state", nullptr, StepWord::kState, 1, 1, kAnyState, kArgState, kNothing, ParseStateNumber,
     "state N"},
    {"ui", nullptr, StepWord::kUi, 1, 1, kState4, 0, kNothing, ParseUi, "ui on|off"},
    {"mech", nullptr, StepWord::kMech, 1, 1, kState4, 0, kNothing, ParseMech,
     "mech native|file|memory"},
    {"timeout", nullptr, StepWord::kTimeout, 1, 1, kAnyState, 0, kNothing, ParseTimeout,
     "timeout SECONDS"},
    {"get", nullptr, StepWord::kGet, 1, 1, kOpenSource, 0, kNothing, ParseCapOnly, "get CAP"},
    {"getcurrent", nullptr, StepWord::kGetCurrent, 1, 1, kOpenSource, 0, kNothing, ParseCapOnly,
     "getcurrent CAP"},
    {"getdefault", nullptr, StepWord::kGetDefault, 1, 1, kOpenSource, 0, kNothing, ParseCapOnly,
     "getdefault CAP"},
    {"set", nullptr, StepWord::kSet, 4, kMany, kState4, 0, kNothing, ParseSet,
     "set CAP onevalue|enumeration|range|array TYPE VALUE... [current=..] [default=..]"},
    {"reset", nullptr, StepWord::kReset, 1, 1, kState4, 0, kNothing, ParseCapOnly, "reset CAP"},
    {"transfer", nullptr, StepWord::kTransfer, 0, 0, StatesFrom(6, 6), 7, kNothing, ParseNothing,
     "transfer"},
    {"save", "image", StepWord::kSaveImage, 1, 1, kAnyState, 0, kImage, ParseImagePath,
     "save image PATH.bmp|PATH.png"},
    {"save", "report", StepWord::kSaveReport, 1, 1, kOpenSource, 0, kNothing, ParsePath,
     "save report PATH"},
    {"layout", "get", StepWord::kLayoutGet, 0, 0, StatesFrom(4, 6), 0, kNothing, ParseNothing,
     "layout get"},
    {"layout", "getdefault", StepWord::kLayoutGetDefault, 0, 0, StatesFrom(4, 6), 0, kNothing,
     ParseNothing, "layout getdefault"},
    {"layout", "set", StepWord::kLayoutSet, 4, 4, kState4, 0, kNothing, ParseLayoutSet,
     "layout set LEFT TOP RIGHT BOTTOM"},
    {"layout", "reset", StepWord::kLayoutReset, 0, 0, kState4, 0, kNothing, ParseNothing,
     "layout reset"},
    {"imageinfo", nullptr, StepWord::kImageInfo, 0, 0, StatesFrom(6, 6), 0, kNothing, ParseNothing,
     "imageinfo"},
    {"expect", "state", StepWord::kExpectState, 1, 1, kAnyState, kArgState, kNothing,
     ParseStateNumber, "expect state N"},
    {"expect", "result", StepWord::kExpectResult, 1, 2, kAnyState, 0, kNothing, ParseExpectResult,
     "expect result TWRC_... [TWCC_...]"},
    {"expect", "current", StepWord::kExpectCurrent, 2, kMany, kOpenSource, 0, kNothing,
     ParseExpectCurrent, "expect current CAP VALUE..."},
    {"expect", "width", StepWord::kExpectWidth, 1, 1, kAnyState, 0, kImage, ParsePixels,
     "expect width PIXELS"},
    {"expect", "height", StepWord::kExpectHeight, 1, 1, kAnyState, 0, kImage, ParsePixels,
     "expect height PIXELS"},
    {"expect", "depth", StepWord::kExpectDepth, 1, 1, kAnyState, 0, kImage, ParsePixels,
     "expect depth BITS"},
    {"check", nullptr, StepWord::kCheck, 0, 1, StatesFrom(4, 6), 4, kNothing, ParseCheck,
     "check [GROUP,GROUP...]"},
    {"expect", "findings", StepWord::kExpectFindings, 1, 1, kAnyState, 0, kPass, ParseFindings,
     "expect findings N"},
    {"expect", "score", StepWord::kExpectScore, 2, 2, kAnyState, 0, kPass, ParseScore,
     "expect score >= N"},
};

const StepRule& RuleOf(StepWord word) {
  for (const StepRule& rule : kRules) {
    if (rule.word == word) return rule;
  }
  return kRules[0];
}

// A stray carriage return (old Mac line ends, or CR CR LF) counts as a blank,
// so a step's text reads the same however its line ended.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// Splits a line into words: blanks separate them, double quotes keep blanks
// inside one, `#` outside quotes ends the line.
bool SplitWords(std::string_view line, Args& words, std::string& why) {
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        why = "a quote is not closed";
        return false;
      }
      words.emplace_back(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      std::size_t end = i;
      while (end < line.size() && !IsBlank(line[end]) && line[end] != '#' && line[end] != '"') {
        ++end;
      }
      words.emplace_back(line.substr(i, end - i));
      i = end;
    }
  }
  return true;
}

std::string_view Trimmed(std::string_view line) {
  // The comment goes with the line's text; a quote keeps a `#` inside it.
  bool quoted = false;
  std::size_t end = 0;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == '#' && !quoted) break;
    ++end;
  }
  line = line.substr(0, end);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  return line;
}

// Reads lines one at a time and keeps the checks that span lines: the state
// the session is known to be in, and whether an image has been transferred.
class ScriptParser {
 public:
  // False once reading should stop.
  bool Line(int number, std::string_view line) {
    if (number > kMaxScriptLines) {
      Error(number, "the script is longer than " + std::to_string(kMaxScriptLines) + " lines");
      return false;
    }
    if (line.size() > kMaxScriptLineLength) {
      Error(number,
            "the line is longer than " + std::to_string(kMaxScriptLineLength) + " characters");
      return Room();
    }
    if (line.find('\0') != std::string_view::npos) {
      Error(number, "the line holds a zero byte; a script is plain text");
      return Room();
    }
    Args words;
    std::string why;
    if (!SplitWords(line, words, why)) {
      Error(number, why);
      return Room();
    }
    if (words.empty()) return true;
    Step(number, Trimmed(line), words);
    return Room();
  }

  Script Finish() {
    if (script_.steps.empty() && script_.errors.empty()) Error(0, "the script has no steps");
    return std::move(script_);
  }

  // Each line adds at most one error, and reading stops once the list is full.
  void Error(int line, std::string message) {
    script_.errors.push_back({line, std::move(message)});
  }

 private:
  bool Room() const { return static_cast<int>(script_.errors.size()) < kMaxScriptErrors; }

  void Step(int number, std::string_view text, const Args& words) {
    const StepRule* rule = nullptr;
    bool firstKnown = false;
    for (const StepRule& candidate : kRules) {
      if (!EqualIgnoringCase(candidate.first, words[0])) continue;
      firstKnown = true;
      if (!candidate.second ||
          (words.size() > 1 && EqualIgnoringCase(candidate.second, words[1]))) {
        rule = &candidate;
        break;
      }
    }
    if (!rule) {
      Error(number, firstKnown ? "'" + words[0] + "' needs one of its words after it (" +
                                     FollowersOf(words[0]) + ")"
                               : "unknown step '" + words[0] + "'");
      return;
    }
    const Args args(words.begin() + (rule->second ? 2 : 1), words.end());
    const int count = static_cast<int>(args.size());
    if (count < rule->minArgs || count > rule->maxArgs) {
      Error(number, std::string("wrong number of values; write: ") + rule->usage);
      return;
    }
    ScriptStep step;
    step.word = rule->word;
    step.line = number;
    step.text = std::string(text);
    std::string why;
    if (!rule->parse(args, step, why)) {
      Error(number, why + " (" + rule->usage + ")");
      return;
    }
    if (knownState_ && !(rule->states >> knownState_ & 1u)) {
      Error(number, "'" + StepWordText(rule->word) + "' does not run in state " +
                        std::to_string(knownState_) + ", where line " + std::to_string(knownLine_) +
                        " leaves the session");
    } else if (rule->needs == kImage && !imageSeen_) {
      Error(number, "no image has been transferred before this line");
    } else if (rule->needs == kPass && !passSeen_) {
      Error(number, "no check has run before this line");
    }
    if (rule->leaves == kArgState || rule->leaves > 0) {
      knownState_ = rule->leaves == kArgState ? step.number : rule->leaves;
      knownLine_ = number;
    }
    if (rule->word == StepWord::kTransfer || (rule->word == StepWord::kState && step.number == 7)) {
      imageSeen_ = true;
    }
    passSeen_ |= rule->word == StepWord::kCheck;
    script_.steps.push_back(std::move(step));
  }

  static std::string FollowersOf(const std::string& first) {
    std::string list;
    for (const StepRule& rule : kRules) {
      if (rule.second && EqualIgnoringCase(rule.first, first)) {
        list += (list.empty() ? "" : ", ") + std::string(rule.second);
      }
    }
    return list;
  }

  Script script_;
  int knownState_ = 0;  // 0 until a step fixes it: the start-up climb may end anywhere
  int knownLine_ = 0;
  bool imageSeen_ = false;
  bool passSeen_ = false;
};

}  // namespace

std::optional<double> ParseScriptValue(int itemType, int cap, const std::string& text,
                                       std::string* why) {
  auto refuse = [&](const std::string& reason) -> std::optional<double> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (itemType == TWTY_FRAME) {
    double frame[4];
    if (ParseFrameText(text, frame)) return 0.0;
    return refuse("'" + text + "' is not a frame: four numbers, left, top, right, bottom");
  }
  if (IsStringType(itemType)) {
    const auto room = static_cast<std::size_t>(CONTAINER_ItemSize(itemType) - 1);
    if (text.size() <= room) return 0.0;
    return refuse("the text is longer than a " + ItemTypeName(itemType) + " holds (" +
                  std::to_string(room) + " characters)");
  }
  if (!IsNumberType(itemType)) return refuse("no value of this item type can be written");
  std::optional<double> value = ParseDecimalText(text);
  if (!value) value = NamedValue(itemType, cap, text);
  const NumberRange& range = kNumberRanges[itemType];
  if (!value) {
    return refuse("'" + text + "' is not a " + ItemTypeName(itemType) + " value of " +
                  CapName(cap));
  }
  if (*value < range.min || *value > range.max || (range.whole && *value != std::floor(*value))) {
    return refuse("'" + text + "' is outside what a " + ItemTypeName(itemType) + " holds");
  }
  return value;
}

bool ParseFrameText(const std::string& text, double frame[4]) {
  std::string inner = text;
  if (inner.size() > 7 && EqualIgnoringCase(inner.substr(0, 6), "Frame(") && inner.back() == ')') {
    inner = inner.substr(6, inner.size() - 7);
  }
  // Four comma-separated numbers, each in the form the editors read.
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t comma = inner.find(',', start);
    if ((i < 3) != (comma != std::string::npos)) return false;
    // The last part has no comma after it: npos - start reaches the end.
    std::string part = inner.substr(start, comma - start);
    const std::string_view trimmed = Trimmed(part);
    const std::optional<double> value = ParseFrameEdge(std::string(trimmed));
    if (!value) return false;
    frame[i] = *value;
    start = comma + 1;
  }
  return true;
}

Script ReadScriptText(std::string_view text) {
  ScriptParser parser;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!parser.Line(++number, line)) break;
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parser.Finish();
}

Script ReadScriptFile(const char* path) {
  ScriptParser parser;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path ? path : "", "rb"),
                                                       std::fclose);
  if (!path || !*path) {
    parser.Error(0, "no script file was named");
  } else if (!file) {
    parser.Error(0, std::string("cannot read the script ") + path);
  }
  if (!file) return parser.Finish();
  // Read line by line into a bounded buffer: an endless line or an endless
  // file costs no more memory than the limits allow.
  std::string line;
  int number = 0;
  bool overlong = false;
  char chunk[8192];
  std::size_t got = 0;
  bool going = true;
  while (going && (got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
    for (std::size_t i = 0; i < got && going; ++i) {
      if (chunk[i] != '\n') {
        if (line.size() <= kMaxScriptLineLength) {
          line.push_back(chunk[i]);
        } else {
          overlong = true;
        }
        continue;
      }
      if (!line.empty() && line.back() == '\r' && !overlong) line.pop_back();
      going = parser.Line(++number, line);
      line.clear();
      overlong = false;
    }
  }
  // Reading only stops at a line's end, so a line is left here only when the
  // file ended without one.
  if (!line.empty() || overlong) parser.Line(++number, line);
  return parser.Finish();
}

std::string ScriptErrorText(const char* path, const ScriptError& error) {
  if (error.line == 0) return std::string(path ? path : "script") + ": " + error.message;
  return FormatText("%s:%d: %s", path ? path : "script", error.line, error.message.c_str());
}

std::string StepWordText(StepWord word) {
  const StepRule& rule = RuleOf(word);
  return rule.second ? std::string(rule.first) + " " + rule.second : rule.first;
}

unsigned StepStates(StepWord word) {
  return RuleOf(word).states;
}
