#include "script/script_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "twain/twain.h"

namespace {

std::string Errors(const Script& script) {
  std::string text;
  for (const ScriptError& error : script.errors) text += ScriptErrorText("s", error) + "\n";
  return text;
}

// The one step of a one-line script, which must read cleanly.
ScriptStep Only(const std::string& line) {
  const Script script = ReadScriptText(line);
  EXPECT_TRUE(script.errors.empty()) << line << "\n" << Errors(script);
  EXPECT_EQ(script.steps.size(), 1u) << line;
  return script.steps.empty() ? ScriptStep{} : script.steps[0];
}

// The first error of a script, as it is shown.
std::string FirstError(const std::string& text) {
  const Script script = ReadScriptText(text);
  return script.errors.empty() ? "" : ScriptErrorText("s", script.errors[0]);
}

TEST(ScriptReaderTest, EveryStepWordReadsWithItsValues) {
  const Script script = ReadScriptText(
      "# a comment line\n"
      "\n"
      "source \"Sample Flatbed\"   # a trailing comment\r\n"
      "ui off\n"
      "mech memory\n"
      "timeout 5\n"
      "get icap_pixeltype\n"
      "getcurrent 0x0101\n"
      "getdefault 257\n"
      "reset ICAP_UNITS\n"
      "layout get\n"
      "layout getdefault\n"
      "layout set 0 0 8.5 11\n"
      "layout reset\n"
      "state 6\n"
      "imageinfo\n"
      "transfer\n"
      "save image out.bmp\n"
      "expect width 850\n"
      "expect height 1400\n"
      "expect depth 24\n"
      "state 4\n"
      "save report \"C:\\caps report.txt\"\n"
      "expect state 4\n"
      "expect result TWRC_FAILURE TWCC_BADVALUE\n"
      "expect current ICAP_FRAMES \"0, 0, 8.5, 14\"\n");
  ASSERT_TRUE(script.errors.empty()) << Errors(script);
  const StepWord words[] = {StepWord::kSource,       StepWord::kUi,
                            StepWord::kMech,         StepWord::kTimeout,
                            StepWord::kGet,          StepWord::kGetCurrent,
                            StepWord::kGetDefault,   StepWord::kReset,
                            StepWord::kLayoutGet,    StepWord::kLayoutGetDefault,
                            StepWord::kLayoutSet,    StepWord::kLayoutReset,
                            StepWord::kState,        StepWord::kImageInfo,
                            StepWord::kTransfer,     StepWord::kSaveImage,
                            StepWord::kExpectWidth,  StepWord::kExpectHeight,
                            StepWord::kExpectDepth,  StepWord::kState,
                            StepWord::kSaveReport,   StepWord::kExpectState,
                            StepWord::kExpectResult, StepWord::kExpectCurrent};
  ASSERT_EQ(script.steps.size(), std::size(words));
  for (std::size_t i = 0; i < std::size(words); ++i) {
    EXPECT_EQ(script.steps[i].word, words[i]) << script.steps[i].text;
  }
  const auto& s = script.steps;
  EXPECT_EQ(s[0].name, "Sample Flatbed");
  EXPECT_EQ(s[0].line, 3);
  EXPECT_EQ(s[0].text, "source \"Sample Flatbed\"") << "comment and line end are not the step's";
  EXPECT_EQ(s[1].number, 0);
  EXPECT_EQ(s[2].number, TWSX_MEMORY);
  EXPECT_EQ(s[3].number, 5);
  EXPECT_EQ(s[4].cap, ICAP_PIXELTYPE);
  EXPECT_EQ(s[5].cap, 0x0101);
  EXPECT_EQ(s[6].cap, 257);
  EXPECT_EQ(s[10].frame[2], 8.5);
  EXPECT_EQ(s[10].frame[3], 11);
  EXPECT_EQ(s[12].number, 6);
  EXPECT_EQ(s[16].number, 850);
  EXPECT_EQ(s[20].name, "C:\\caps report.txt");
  EXPECT_EQ(s[22].number, TWRC_FAILURE);
  EXPECT_EQ(s[22].conditionCode, TWCC_BADVALUE);
  EXPECT_EQ(s[23].cap, ICAP_FRAMES);
  ASSERT_EQ(s[23].values.size(), 1u);
  EXPECT_EQ(s[23].values[0].text, "0, 0, 8.5, 14");
  EXPECT_EQ(Only("expect result TWRC_SUCCESS").conditionCode, -1);
}

TEST(ScriptReaderTest, CheckNamesKnownGroupsAndItsExpectationsNeedAPassBeforeThem) {
  const Script script = ReadScriptText(
      "check\n"
      "check identity,mandatory,identity\n"
      "expect findings 0\n"
      "expect score >= 90\n");
  ASSERT_TRUE(script.errors.empty()) << Errors(script);
  const auto& s = script.steps;
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].word, StepWord::kCheck);
  EXPECT_TRUE(s[0].values.empty()) << "no group named runs them all";
  ASSERT_EQ(s[1].values.size(), 2u) << "a group named twice runs once";
  EXPECT_EQ(s[1].values[0].text, "identity");
  EXPECT_EQ(s[1].values[1].text, "mandatory");
  EXPECT_EQ(s[2].word, StepWord::kExpectFindings);
  EXPECT_EQ(s[2].number, 0);
  EXPECT_EQ(s[3].word, StepWord::kExpectScore);
  EXPECT_EQ(s[3].number, 90);

  const struct {
    const char* script;
    const char* error;
  } wrong[] = {
      {"expect findings 0", "s:1: no check has run before this line"},
      {"check identity,,status", "a check group's name is empty"},
      {"check identity,", "a check group's name is empty"},
      {"check Identity",
       "'Identity' is not a check group (identity, status, mandatory, capabilities, xfercount, "
       "transfer, stress, ui, records)"},
      {"check\nexpect score > 90", "s:2: a score is compared with >= (expect score >= N)"},
      {"check\nexpect score >= 101", "'101' is not a score (0 to 100)"},
      {"check\nexpect findings -1", "'-1' is not a number of findings"},
      {"state 7\ncheck", "s:2: 'check' does not run in state 7"},
      {"state 6\ncheck\nimageinfo", "s:3: 'imageinfo' does not run in state 4, where line 2"},
  };
  for (const auto& c : wrong) {
    EXPECT_NE(FirstError(c.script).find(c.error), std::string::npos) << c.script << "\n"
                                                                     << FirstError(c.script);
  }
}

TEST(ScriptReaderTest, SetTakesEachShapeInTheEditorsTextForms) {
  ScriptStep one = Only("set ICAP_PIXELTYPE onevalue uint16 TWPT_GRAY");
  EXPECT_EQ(one.shape, TWON_ONEVALUE);
  EXPECT_EQ(one.itemType, TWTY_UINT16);
  ASSERT_EQ(one.values.size(), 1u);
  EXPECT_EQ(one.values[0].number, 1) << "a constant's name stands for its value";
  EXPECT_EQ(Only("set ICAP_PIXELTYPE onevalue uint16 2").values[0].number, 2);
  EXPECT_EQ(Only("set CAP_INDICATORS onevalue bool TRUE").values[0].number, 1);
  EXPECT_EQ(Only("set ICAP_BRIGHTNESS onevalue fix32 -12.5").values[0].number, -12.5);
  EXPECT_EQ(Only("set CAP_AUTHOR onevalue str128 \"Ann Lee\"").values[0].text, "Ann Lee");
  EXPECT_EQ(Only("set ICAP_FRAMES onevalue frame 0,0,8.5,14").values[0].text, "0,0,8.5,14");

  const ScriptStep list =
      Only("set ICAP_XFERMECH enumeration uint16 TWSX_MEMORY TWSX_NATIVE current=1 default=0");
  EXPECT_EQ(list.shape, TWON_ENUMERATION);
  ASSERT_EQ(list.values.size(), 2u);
  EXPECT_EQ(list.values[0].number, TWSX_MEMORY);
  EXPECT_EQ(list.current, 1);
  EXPECT_EQ(list.fallback, 0);

  const ScriptStep range = Only("set ICAP_CONTRAST range fix32 -1000 1000 10 current=50");
  EXPECT_EQ(range.shape, TWON_RANGE);
  EXPECT_EQ(range.current, 50);
  EXPECT_EQ(range.fallback, -1000) << "a default left out is the minimum";

  const ScriptStep array = Only("set 0x8100 array uint16 0 128 255");
  EXPECT_EQ(array.shape, TWON_ARRAY);
  EXPECT_EQ(array.cap, 0x8100);
  EXPECT_EQ(array.values.size(), 3u);
}

TEST(ScriptReaderTest, EveryWrongLineIsNamedWithItsNumberAndWhatIsWrong) {
  const Script script = ReadScriptText(
      "state 4\n"                                         // 1: fine
      "jump 3\n"                                          // 2
      "state\n"                                           // 3
      "state 9\n"                                         // 4
      "get ICAP_NOSUCH\n"                                 // 5
      "set ICAP_PIXELTYPE onevalue uint16 TWPT_PURPLE\n"  // 6
      "set ICAP_PIXELTYPE onevalue uint16 70000\n"        // 7
      "set ICAP_PIXELTYPE onevalue uint16 1.5\n"          // 8
      "set ICAP_FRAMES onevalue frame 1,2,3\n"            // 9
      "set CAP_AUTHOR onevalue str32 \"" +
      std::string(40, 'x') +
      "\"\n"                                                 // 10
      "set ICAP_UNITS onevalue bool 0x1\n"                   // 11
      "set ICAP_UNITS cube uint16 1\n"                       // 12
      "set ICAP_UNITS onevalue word 1\n"                     // 13
      "set ICAP_UNITS onevalue uint16 1 2\n"                 // 14
      "set ICAP_UNITS enumeration uint16 1 2 current=2\n"    // 15
      "set ICAP_CONTRAST range fix32 0 100 10 current=15\n"  // 16
      "set ICAP_FRAMES range frame 0 1 1\n"                  // 17
      "source \"Sample Flatbed\n"                            // 18
      "save image out.gif\n"                                 // 19
      "expect result TWRC_FINE\n"                            // 20
      "layout\n"                                             // 21
      "mech fax\n");                                         // 22: past the error limit
  ASSERT_EQ(script.errors.size(), static_cast<std::size_t>(kMaxScriptErrors)) << Errors(script);
  for (std::size_t i = 0; i < script.errors.size(); ++i) {
    EXPECT_EQ(script.errors[i].line, static_cast<int>(i) + 2) << Errors(script);
  }
  const std::string text = Errors(script);
  for (const char* part :
       {"s:2: unknown step 'jump'",
        "s:3: wrong number of values; write: state N",
        "'9' is not a state",
        "'ICAP_NOSUCH' is not a capability",
        "'TWPT_PURPLE' is not a uint16 value of ICAP_PIXELTYPE",
        "'70000' is outside what a uint16 holds",
        "'1.5' is outside",
        "is not a frame",
        "longer than a str32 holds (33 characters)",
        "'0x1' is not a bool value",
        "'cube' is not a container shape",
        "'word' is not an item type",
        "a onevalue takes one value",
        "current= takes an item's index, 0 to 1",
        "current= must be a value of the range",
        "a range holds numbers, not frame",
        "a quote is not closed",
        "saved as .bmp or .png",
        "'TWRC_FINE' is not a return code",
        "'layout' needs one of its words after it (get, getdefault, set, reset)"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_TRUE(script.steps.size() == 1u) << "only the good line is a step";
  EXPECT_EQ(
      FirstError("mech fax"),
      "s:1: 'fax' is not a transfer mechanism (native, file or memory) (mech native|file|memory)");
}

TEST(ScriptReaderTest, AStepThatLeavesTheStateAloneKeepsTheKnownOne) {
  EXPECT_NE(FirstError("state 4\nget ICAP_UNITS\nimageinfo\n")
                .find("s:3: 'imageinfo' does not run "
                      "in state 4, where line 1"),
            std::string::npos);
}

TEST(ScriptReaderTest, StatesTheScriptItselfFixesAreChecked) {
  // After `state 6` the session is known to be in 6, where SET is refused.
  EXPECT_EQ(FirstError("state 6\nset ICAP_UNITS onevalue uint16 0\n"),
            "s:2: 'set' does not run in state 6, where line 1 leaves the session");
  EXPECT_EQ(FirstError("source \"Sample Flatbed\"\n\ntransfer\n"),
            "s:3: 'transfer' does not run in state 4, where line 1 leaves the session");
  EXPECT_EQ(FirstError("state 6\ntransfer\nexpect state 4\nexpect width 3\n"), "")
      << "an image stays the last image after the session moves";
  EXPECT_EQ(FirstError("state 4\nsave image a.png\n"),
            "s:2: no image has been transferred before this line");
  // Before any step fixes the state the start-up climb decides: checked at run time.
  EXPECT_EQ(FirstError("set ICAP_UNITS onevalue uint16 0\nimageinfo\n"), "");
  EXPECT_TRUE(StepAllowedIn(StepWord::kSet, 4));
  EXPECT_FALSE(StepAllowedIn(StepWord::kSet, 5));
  EXPECT_TRUE(StepAllowedIn(StepWord::kGet, 7));
  EXPECT_FALSE(StepAllowedIn(StepWord::kGet, 3));
  EXPECT_FALSE(StepAllowedIn(StepWord::kState, 0));
}

TEST(ScriptReaderTest, HugeOrBrokenScriptsStopAtTheirLimitsWithoutRunningAway) {
  // A million lines: reading stops at the first line past the limit.
  std::string huge;
  huge.reserve(8'000'000);
  for (int i = 0; i < 1'000'000; ++i) huge += "state 4\n";
  Script script = ReadScriptText(huge);
  ASSERT_EQ(script.errors.size(), 1u);
  EXPECT_EQ(script.errors[0].line, kMaxScriptLines + 1);
  EXPECT_EQ(script.steps.size(), static_cast<std::size_t>(kMaxScriptLines));

  EXPECT_NE(FirstError("state 4\n" + std::string(5000, 'x') + "\n").find("s:2: the line is longer"),
            std::string::npos);
  EXPECT_NE(
      FirstError(std::string("state 4\nstate\0 4\n", 17)).find("s:2: the line holds a zero byte"),
      std::string::npos);
  EXPECT_EQ(FirstError("# nothing but comments\n\n"), "s: the script has no steps");

  // No more than kMaxScriptErrors are kept.
  std::string bad;
  for (int i = 0; i < 100; ++i) bad += "nonsense\n";
  const Script stopped = ReadScriptText(bad + "state 4\n");
  EXPECT_EQ(stopped.errors.size(), static_cast<std::size_t>(kMaxScriptErrors));
  EXPECT_TRUE(stopped.steps.empty()) << "reading stops at the last error kept";
}

TEST(ScriptReaderTest, FilesReadAsTheirTextWithBoundedLines) {
  const std::string path = testing::TempDir() + "vorrel_script_reader_test.txt";
  // Line ends of either kind, and none on the last line.
  const std::string text = "state 4\nset ICAP_UNITS onevalue uint16 TWUN_PIXELS\r\n" +
                           std::string(9000, 'y') + "\r\nexpect state 4";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  const Script fromFile = ReadScriptFile(path.c_str());
  std::remove(path.c_str());
  ASSERT_EQ(fromFile.steps.size(), 3u) << Errors(fromFile);
  EXPECT_EQ(fromFile.steps[0].number, 4);
  EXPECT_EQ(fromFile.steps[1].values[0].number, TWUN_PIXELS);
  EXPECT_EQ(fromFile.steps[2].line, 4) << "the last line needs no line end";
  ASSERT_EQ(fromFile.errors.size(), 1u);
  EXPECT_EQ(fromFile.errors[0].line, 3);

  // A file that fills the error list stops there, its unended last line too.
  file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  for (int i = 0; i < kMaxScriptErrors; ++i) std::fputs("nonsense\n", file);
  std::fputs("nonsense", file);
  std::fclose(file);
  EXPECT_EQ(ReadScriptFile(path.c_str()).errors.size(), static_cast<std::size_t>(kMaxScriptErrors));
  std::remove(path.c_str());

  const Script missing = ReadScriptFile((testing::TempDir() + "no_such_script.txt").c_str());
  ASSERT_EQ(missing.errors.size(), 1u);
  EXPECT_EQ(missing.errors[0].line, 0);
  EXPECT_NE(missing.errors[0].message.find("cannot read the script"), std::string::npos);
  EXPECT_EQ(ReadScriptFile("").errors.at(0).message, "no script file was named");
}

TEST(ScriptReaderTest, StrayCarriageReturnsAreBlanksAndAStepReadsAloneAsItDid) {
  // CR CR LF, an old Mac line end in the middle and a CR ending the text.
  const Script script =
      ReadScriptText("get ICAP_UNITS \r\r\nexpect current ICAP_FRAMES 0,0,8.5,11\r1\r\nstate\r4\r");
  ASSERT_TRUE(script.errors.empty()) << Errors(script);
  ASSERT_EQ(script.steps.size(), 3u);
  EXPECT_EQ(script.steps[1].values.size(), 2u);
  EXPECT_EQ(script.steps[2].number, 4);
  for (const ScriptStep& step : script.steps) {
    EXPECT_NE(step.text.back(), '\r') << "outer blanks are trimmed";
    const Script again = ReadScriptText(step.text);
    ASSERT_EQ(again.steps.size(), 1u) << step.text;
    EXPECT_EQ(again.steps[0].values.size(), step.values.size()) << step.text;
  }
}

TEST(ScriptReaderTest, FramesReadInBothTheEditorsAndTheDisplaysForm) {
  double frame[4];
  ASSERT_TRUE(ParseFrameText("4, 1.5, 6, 10.125", frame));
  EXPECT_EQ(frame[1], 1.5);
  EXPECT_EQ(frame[3], 10.125);
  ASSERT_TRUE(ParseFrameText("Frame(0, 0, 8.5, 14)", frame));
  EXPECT_EQ(frame[2], 8.5);
  EXPECT_FALSE(ParseFrameText("1,2,3,4,5", frame));
  EXPECT_FALSE(ParseFrameText("Frame[1,2,3,4)", frame)) << "only Frame( ... ) is unwrapped";
  EXPECT_FALSE(ParseFrameText("1,2,,4", frame));
  EXPECT_FALSE(ParseFrameText("1,2,3,40000", frame)) << "beyond what a TW_FIX32 holds";
  EXPECT_TRUE(ParseFrameText("-32768, 0, 32767.99998474, 1", frame));
  EXPECT_TRUE(ParseFrameText("0, 0, 32767.9999847412109375, 1", frame)) << "the largest TW_FIX32";
  EXPECT_FALSE(ParseFrameText("-32768.5, 0, 1, 1", frame));
}

TEST(ScriptReaderTest, ValuesReadAsTheEditorsReadThemWithinTheirItemTypes) {
  const struct {
    int type;
    int cap;
    std::string text;
    std::optional<double> value;
  } cases[] = {
      {TWTY_FIX32, ICAP_BRIGHTNESS, ".5", 0.5},
      {TWTY_FIX32, ICAP_BRIGHTNESS, "-.5", -0.5},
      {TWTY_UINT16, 0x8001, "+3", 3},
      {TWTY_UINT16, 0x8001, "1e2", 100},
      {TWTY_UINT16, 0x8001, ".", std::nullopt},
      {TWTY_UINT16, 0x8001, "-", std::nullopt},
      {TWTY_UINT16, 0x8001, "0x10", std::nullopt},
      {TWTY_UINT16, 0x8001, "0X10", std::nullopt},
      {TWTY_UINT16, 0x8001, "5x", std::nullopt},
      {TWTY_UINT16, 0x8001, " 5", std::nullopt},
      {TWTY_FIX32, 0x8001, "1e999", std::nullopt},
      {TWTY_INT8, 0x8001, "-128", -128},
      {TWTY_INT8, 0x8001, "-129", std::nullopt},
      {TWTY_INT8, 0x8001, "127", 127},
      {TWTY_INT8, 0x8001, "128", std::nullopt},
      {TWTY_UINT32, 0x8001, "4294967295", 4294967295.0},
      {TWTY_UINT32, 0x8001, "4294967296", std::nullopt},
      {TWTY_BOOL, 0x8001, "1", 1},
      {TWTY_BOOL, 0x8001, "2", std::nullopt},
      {TWTY_FIX32, 0x8001, "32767.5", 32767.5},
      {TWTY_FIX32, 0x8001, "-32768", -32768},
      {TWTY_FIX32, 0x8001, "-32768.5", std::nullopt},
      {TWTY_FRAME, 0x8001, "1,2,3,4", 0},
      {TWTY_STR32, 0x8001, std::string(33, 'a'), 0},
      {TWTY_STR32, 0x8001, std::string(34, 'a'), std::nullopt},
      {TWTY_STR255, 0x8001, std::string(255, 'a'), 0},
      {TWTY_STR255, 0x8001, std::string(256, 'a'), std::nullopt},
      {TWTY_STR255 + 1, 0x8001, "1", std::nullopt},
      // The capability lists name capabilities.
      {TWTY_UINT16, CAP_SUPPORTEDCAPS, "icap_units", ICAP_UNITS},
      {TWTY_UINT16, CAP_EXTENDEDCAPS, "ICAP_UNITS", ICAP_UNITS},
      {TWTY_UINT16, CAP_SUPPORTEDCAPSEXT, "ICAP_UNITS", ICAP_UNITS},
      {TWTY_UINT16, ICAP_PIXELTYPE, "ICAP_UNITS", std::nullopt},
      {TWTY_UINT16, ICAP_PIXELTYPE, "twpt_rgb", TWPT_RGB},
  };
  for (const auto& c : cases) {
    std::string why;
    EXPECT_EQ(ParseScriptValue(c.type, c.cap, c.text, &why), c.value)
        << c.type << " " << c.text.substr(0, 40) << ": " << why;
    EXPECT_EQ(why.empty(), c.value.has_value()) << c.text.substr(0, 40);
  }
}

TEST(ScriptReaderTest, ArgumentsAreTakenUpToTheirLimitsAndNoFurther) {
  const std::string pad(kMaxScriptLineLength - 7, ' ');
  const struct {
    std::string line;
    bool good;
  } cases[] = {
      {"state 1", true},
      {"state 7", true},
      {"state 0", false},
      {"state 8", false},
      {"state 4 5", false},
      {"state 4" + pad, true},
      {"state 4" + pad + " ", false},
      {"timeout 3600", true},
      {"timeout 3601", false},
      {"timeout 0", false},
      {"state 7\nexpect width 0", true},
      {"state 7\nexpect width 2147483647", true},
      {"state 7\nexpect width -1", false},
      {"state 7\nexpect width x", false},
      {"state 7\nexpect width 1.5", false},
      {"state 7\nsave image A.BMP", true},
      {"state 7\nsave image a.Png", true},
      {"state 7\nsave image a", false},
      {"state 7\nsave image \"\"", false},
      {"state 7\nsave image a.bmp.gif", false},
      {"get 1", true},
      {"get 65535", true},
      {"get 0xFFFF", true},
      {"get 0XFFFF", true},
      {"get 65536", false},
      {"get 0x10000", false},
      {"get 0", false},
      {"get 0x0", false},
      {"get 0x", false},
      {"get -5", false},
      {"get +5", false},
      {"get 12a", false},
      {"source \"" + std::string(32, 'n') + "\"", true},
      {"source \"" + std::string(33, 'n') + "\"", false},
      {"source \"\"", false},
      {"ui ON", true},
      {"ui Off", true},
      {"ui maybe", false},
      {"mech NATIVE", true},
      {"mech File", true},
      {"expect result TWRC_SUCCESS TWCC_SUCCESS", true},
      {"expect result TWRC_SUCCESS TWCC_NOSUCH", false},
      {"expect result TWRC_SUCCESS TWCC_SUCCESS TWCC_SUCCESS", false},
      {"save report \"\"", false},
      {"set ICAP_UNITS enumeration uint16 1 2 current=1 default=1", true},
      {"set ICAP_UNITS enumeration uint16 1 2 default=2", false},
      {"set ICAP_UNITS array uint16 1 current=0", false},
      {"set ICAP_UNITS enumeration uint16 current=0", false},
      {"set ICAP_NOSUCH onevalue uint16 1", false},
      {"expect current ICAP_NOSUCH 1", false},
      {"set ICAP_UNITS onevalue uint16 current=0", false},
      {"set ICAP_UNITS range uint16 5 5 1", true},
      {"set ICAP_UNITS range uint16 6 5 1", false},
      {"set ICAP_UNITS range uint16 0 10 0", false},
      {"set ICAP_UNITS range uint16 0 10 5 current=10 default=5", true},
      {"set ICAP_UNITS range uint16 0 10 5 default=15", false},
      {"set ICAP_UNITS range uint16 0 10 5 default=3", false},
      {"set ICAP_UNITS range uint16 0 10 5 current=-5", false},
      {"set ICAP_UNITS range uint16 0 10 5 current=x", false},
      {"set ICAP_UNITS range int8 0 10", false},
      {"layout set 0 0 32767 -32768", true},
      {"layout set 0 0 32767.9999847412109375 1", true},
      {"layout set 0 0 40000 1", false},
      {"layout set 0 0 1 -40000", false},
  };
  for (const auto& c : cases) {
    const Script script = ReadScriptText(c.line);
    EXPECT_EQ(script.errors.empty(), c.good) << c.line.substr(0, 60) << "\n" << Errors(script);
  }
  // The text is read within its bounds: nothing after its last byte is looked at.
  const std::string last = "get ICAP_UNITS";
  const std::vector<char> unterminated(last.begin(), last.end());
  const Script bounded = ReadScriptText(std::string_view(unterminated.data(), unterminated.size()));
  ASSERT_EQ(bounded.steps.size(), 1u);
  EXPECT_EQ(bounded.steps[0].cap, ICAP_UNITS);
  EXPECT_NE(FirstError("set ICAP_UNITS enumeration uint16 1 2 current=").find("current= takes"),
            std::string::npos)
      << "an option with nothing after it is still the option";
  std::string items = "set 0x8001 array uint16";
  for (int i = 0; i < kMaxScriptItems; ++i) items += " 1";
  EXPECT_EQ(Errors(ReadScriptText(items)), "");
  EXPECT_NE(Errors(ReadScriptText(items + " 1")).find("more than 1024 items"), std::string::npos);
  std::string expected = "expect current 0x8001";
  for (int i = 0; i < kMaxScriptItems; ++i) expected += " 1";
  EXPECT_EQ(Errors(ReadScriptText(expected)), "");
  EXPECT_NE(Errors(ReadScriptText(expected + " 1")).find("more than 1024 items"),
            std::string::npos);
}

}  // namespace
