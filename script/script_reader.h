// Scripted runs: a plain-text script of steps, one per line, with `#`
// comments. The whole script is read and checked before anything runs, so a
// bad script is refused with the number of every line that is wrong.
//
// A script is user input: its size, its lines and every value in them are
// bounded, and values are checked in the text forms the value editors use.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Exit statuses of a scripted run.
constexpr int kScriptPassed = 0;
constexpr int kScriptFailed = 1;  // an expectation or a step failed at run time
constexpr int kScriptBad = 2;     // the script itself is wrong; nothing was run

constexpr int kMaxScriptLines = 100000;
constexpr std::size_t kMaxScriptLineLength = 4096;
constexpr int kMaxScriptErrors = 20;
// Items of one enumeration or array a script may list.
constexpr int kMaxScriptItems = 1024;
constexpr int kDefaultWaitSeconds = 30;
constexpr int kMaxWaitSeconds = 3600;

enum class StepWord {
  kSource,
  kState,
  kUi,
  kMech,
  kTimeout,
  kGet,
  kGetCurrent,
  kGetDefault,
  kSet,
  kReset,
  kTransfer,
  kSaveImage,
  kSaveReport,
  kLayoutGet,
  kLayoutGetDefault,
  kLayoutSet,
  kLayoutReset,
  kImageInfo,
  kExpectState,
  kExpectResult,
  kExpectCurrent,
  kExpectWidth,
  kExpectHeight,
  kExpectDepth,
  kCheck,
  kExpectFindings,
  kExpectScore,
};

// One value as written, and the number it stands for (a named value's
// number, a number's value; 0 for frames and strings).
struct ScriptValue {
  std::string text;
  double number = 0;
};

struct ScriptStep {
  StepWord word = StepWord::kState;
  int line = 0;
  std::string text;  // the line without its comment and outer blanks
  // state, timeout seconds, pixels, ui on (1) / off (0), mechanism, the
  // expected return code, number of findings or lowest score
  int number = 0;
  int cap = 0;
  int conditionCode = -1;  // expect result: -1 when none is named
  std::string name;        // a Source's name or a file's path
  int shape = 0;           // set: TWON_*
  int itemType = 0;        // set
  // set: the items (a range: min, max, step); expect current: the texts;
  // check: the groups to run, none for all
  std::vector<ScriptValue> values;
  // set: an enumeration's current and default index, or a range's current
  // and default value
  double current = 0;
  double fallback = 0;  // the default, a word C++ keeps for itself
  bool currentGiven = false, defaultGiven = false;
  double frame[4] = {};  // layout set: left, top, right, bottom
};

struct ScriptError {
  int line = 0;  // 0 when the error is about the whole script
  std::string message;
};

struct Script {
  std::vector<ScriptStep> steps;
  std::vector<ScriptError> errors;
};

// Reads and checks a script; errors are listed in line order, at most
// kMaxScriptErrors of them.
Script ReadScriptText(std::string_view text);
Script ReadScriptFile(const char* path);

// "script.txt:12: unknown step 'foo'", the form every script error is shown in.
std::string ScriptErrorText(const char* path, const ScriptError& error);

// The name of a step as a script writes it ("save image").
std::string StepWordText(StepWord word);
// The states a step may run in, as a bit per state (bit 1 for state 1).
unsigned StepStates(StepWord word);
inline bool StepAllowedIn(StepWord word, int state) {
  return state >= 1 && state <= 7 && (StepStates(word) >> state & 1u) != 0;
}

// A value of the item type for the capability in the editors' text forms: a
// constant's name or a number for named values, TRUE or FALSE, a decimal
// number within the type's range, four numbers for a frame, a string that
// fits its item. The number it stands for, or nothing with the reason.
std::optional<double> ParseScriptValue(int itemType, int cap, const std::string& text,
                                       std::string* why);
// Four numbers "left, top, right, bottom" (blanks optional); an optional
// "Frame(...)" around them, as the value text shows frames.
bool ParseFrameText(const std::string& text, double frame[4]);
