#include "pages/log_store.h"

#include <gtest/gtest.h>

#include <string>

#include "pages/log.h"

namespace {

TEST(LogStoreTest, ProvisionalLinesAreReplacedByTheNextWrite) {
  LogStore store;
  store.Write("A", false);
  store.Write("B", false);
  store.Write("C", true);
  ASSERT_EQ(store.count(), 1);
  EXPECT_EQ(store.line(0), "C");
  EXPECT_FALSE(store.lastProvisional());

  store.Write("D", false);
  ASSERT_EQ(store.count(), 2);
  EXPECT_TRUE(store.lastProvisional());
  store.Write("E", true);
  EXPECT_EQ(store.count(), 2);
  EXPECT_EQ(store.line(1), "E");
}

TEST(LogStoreTest, NewestLineSettlesInTheThirdRow) {
  LogStore store;
  EXPECT_EQ(store.Write("1", true), LogStore::Update::kDrawLastRow);
  EXPECT_EQ(store.Write("2", true), LogStore::Update::kDrawLastRow);
  EXPECT_EQ(store.Write("3", true), LogStore::Update::kDrawLastRow);
  EXPECT_EQ(store.topLine(), 0);
  // The fourth line scrolls the view by one line and lands in the third row.
  EXPECT_EQ(store.Write("4", true), LogStore::Update::kScrollThenDraw);
  EXPECT_EQ(store.topLine(), 1);
  EXPECT_EQ(store.RowOf(3), 2);
  // A provisional line replaced in place does not scroll.
  store.Write("5", false);
  EXPECT_EQ(store.Write("5 done", true), LogStore::Update::kDrawLastRow);
  EXPECT_EQ(store.RowOf(store.count() - 1), 2);
}

TEST(LogStoreTest, WritingAfterScrollingAwayBringsTheEndBack) {
  LogStore store;
  for (int i = 0; i < 10; ++i) store.Write(std::to_string(i), true);
  EXPECT_TRUE(store.MoveTopLine(0));
  EXPECT_EQ(store.Write("new", true), LogStore::Update::kRepaintAll);
  EXPECT_EQ(store.topLine(), store.count() - 3);
}

TEST(LogStoreTest, TopLineIsClampedAndScrollRequestsMoveIt) {
  LogStore store;
  EXPECT_FALSE(store.MoveTopLine(5)) << "an empty log keeps line 0 on top";
  for (int i = 0; i < 20; ++i) store.Write(std::to_string(i), true);
  EXPECT_TRUE(store.MoveTopLine(100));
  EXPECT_EQ(store.topLine(), 19);
  EXPECT_FALSE(store.MoveTopLine(19));
  store.MoveTopLine(10);
  EXPECT_EQ(ScrollTarget(store, ScrollRequest::kLineUp, 0), 9);
  EXPECT_EQ(ScrollTarget(store, ScrollRequest::kLineDown, 0), 11);
  EXPECT_EQ(ScrollTarget(store, ScrollRequest::kPageDown, 0), 12);
  EXPECT_EQ(ScrollTarget(store, ScrollRequest::kBottom, 0), 19);
  EXPECT_EQ(ScrollTarget(store, ScrollRequest::kThumb, 7), 7);
  EXPECT_EQ(ScrollTarget(store, ScrollRequest::kEnd, 7), -1);
}

TEST(LogStoreTest, VisibleRowsAreOnlyThoseThatFit) {
  LogStore store;
  for (int i = 0; i < 1000; ++i) store.Write(std::to_string(i), true);
  store.MoveTopLine(0);
  LogStore::Range range = store.Visible(12);
  EXPECT_EQ(range.first, 0);
  EXPECT_EQ(range.last, 12);
  store.MoveTopLine(995);
  range = store.Visible(12);
  EXPECT_EQ(range.first, 995);
  EXPECT_EQ(range.last, 1000) << "rows below the last line stay empty";
}

TEST(LogStoreTest, LinesAreCutAndCopiedWithWindowsLineEnds) {
  LogStore store;
  store.Write(std::string(500, 'x'), true);
  EXPECT_EQ(store.line(0).size(), 399u);
  store.Write("a & b", true);
  EXPECT_EQ(store.AllText(), std::string(399, 'x') + "\r\na & b\r\n");
}

struct Written {
  std::vector<std::pair<std::string, bool>> lines;
  static void Sink(const char* text, bool final, void* context) {
    static_cast<Written*>(context)->lines.emplace_back(text, final);
  }
};

TEST(LogTest, FormatsCutsAndHonoursTheSwitch) {
  Written written;
  SetLogSink(Written::Sink, &written);
  LogLine("Opened %s [%4.2fs]", "Flatbed", 0.126);
  LogProgress("%s", std::string(500, 'y').c_str());
  SetLogSwitch(false);
  LogLine("dropped");
  SetLogSwitch(true);
  ASSERT_EQ(written.lines.size(), 2u);
  EXPECT_EQ(written.lines[0], (std::pair<std::string, bool>{"Opened Flatbed [0.13s]", true}));
  EXPECT_EQ(written.lines[1].first.size(), kLogLineLimit);
  EXPECT_FALSE(written.lines[1].second);
  ResetLog();
}

TEST(LogTest, NotesAreFinalLinesWithTheirPrefixAndObeyTheSwitch) {
  Written written;
  SetLogSink(Written::Sink, &written);
  LogNote("current value is now %d (sent %d)", 200, 300);
  SetLogSwitch(false);
  LogNote("dropped");
  SetLogSwitch(true);
  LogNote("%s", std::string(500, 'n').c_str());
  ASSERT_EQ(written.lines.size(), 2u);
  EXPECT_EQ(written.lines[0],
            (std::pair<std::string, bool>{"   current value is now 200 (sent 300)", true}));
  EXPECT_EQ(written.lines[1].first, kLogNotePrefix + std::string(kLogLineLimit - 3, 'n'))
      << "a long note is cut with the line";
  ResetLog();
}

}  // namespace
