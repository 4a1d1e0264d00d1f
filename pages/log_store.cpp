#include "pages/log_store.h"

#include <algorithm>

#include "pages/log.h"

LogStore::Update LogStore::Write(std::string_view text, bool final) {
  text = text.substr(0, kLogLineLimit);
  if (lastProvisional_ && !lines_.empty()) {
    lines_.back().assign(text);
  } else {
    lines_.emplace_back(text);
  }
  lastProvisional_ = !final;
  // The newest line sits in the first three rows; once there are three or
  // more lines, in the third.
  const int row = count() - 1 - topLine_;
  if (row < 0 || row > 3) {
    MoveTopLine(std::max(0, count() - 3));
    return Update::kRepaintAll;
  }
  if (row == 3) {
    ++topLine_;
    return Update::kScrollThenDraw;
  }
  return Update::kDrawLastRow;
}

bool LogStore::MoveTopLine(int line) {
  line = std::clamp(line, 0, std::max(0, count() - 1));
  if (line == topLine_) return false;
  topLine_ = line;
  return true;
}

LogStore::Range LogStore::Visible(int rows) const {
  const int last = std::min(count(), topLine_ + std::max(0, rows));
  return {std::min(topLine_, last), last};
}

std::string LogStore::AllText() const {
  std::string text;
  for (const std::string& line : lines_) text.append(line).append("\r\n");
  return text;
}

int ScrollTarget(const LogStore& store, ScrollRequest request, int thumbPosition) {
  const int top = store.topLine();
  switch (request) {
    case ScrollRequest::kLineUp:
      return top - 1;
    case ScrollRequest::kLineDown:
      return top + 1;
    case ScrollRequest::kPageUp:
      return top - 2;
    case ScrollRequest::kPageDown:
      return top + 2;
    case ScrollRequest::kTop:
      return 0;
    case ScrollRequest::kBottom:
      return store.count() - 1;
    case ScrollRequest::kThumb:
      return thumbPosition;
    case ScrollRequest::kEnd:
      return -1;
  }
  return -1;
}
