// Arbitrary bytes as a script a person wrote. Reading must end, keep to its
// limits, and every step it accepts must read the same again on its own.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script/script_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Script script = ReadScriptText(text);
  if (script.errors.size() > static_cast<std::size_t>(kMaxScriptErrors)) __builtin_trap();
  int lastLine = 0;
  for (const ScriptStep& step : script.steps) {
    if (step.line <= lastLine || step.line > kMaxScriptLines) __builtin_trap();
    lastLine = step.line;
    if (step.values.size() > static_cast<std::size_t>(kMaxScriptItems) + 1) __builtin_trap();
    // A step's own text, read alone, gives the same step; a step about the
    // last image needs a transfer before it.
    const bool aboutImage =
        step.word == StepWord::kSaveImage || step.word == StepWord::kExpectWidth ||
        step.word == StepWord::kExpectHeight || step.word == StepWord::kExpectDepth;
    const Script again = ReadScriptText((aboutImage ? "state 7\n" : "") + step.text);
    const std::size_t at = aboutImage ? 1 : 0;
    if (again.steps.size() != at + 1 || again.steps[at].word != step.word ||
        again.steps[at].cap != step.cap || again.steps[at].number != step.number ||
        again.steps[at].values.size() != step.values.size()) {
      __builtin_trap();
    }
  }
  return 0;
}
