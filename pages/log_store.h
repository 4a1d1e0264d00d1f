// The lines of the log view and which of them a view of a given height
// shows. The window draws; this decides what to draw.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class LogStore {
 public:
  // How the view brings itself up to date after a write.
  enum class Update {
    kDrawLastRow,     // paint the last line's row only
    kScrollThenDraw,  // scroll the client up one line, then paint the last row
    kRepaintAll,      // the top line moved: repaint everything
  };

  // Replaces a provisional last line or appends a new one; a final write
  // leaves the last line final.
  Update Write(std::string_view text, bool final);
  // Clamped to 0 .. count - 1; false when the top line did not change.
  bool MoveTopLine(int line);

  int count() const { return static_cast<int>(lines_.size()); }
  int topLine() const { return topLine_; }
  bool lastProvisional() const { return lastProvisional_; }
  const std::string& line(int index) const { return lines_[static_cast<std::size_t>(index)]; }
  // Row of a line in the view (0 is the first row); negative above it.
  int RowOf(int index) const { return index - topLine_; }

  // The lines a view of `rows` whole or partial rows shows: [first, last).
  struct Range {
    int first;
    int last;
  };
  Range Visible(int rows) const;

  // Every line, each ended by "\r\n": what "Copy All" and "Save Log..." take.
  std::string AllText() const;

 private:
  std::vector<std::string> lines_;
  int topLine_ = 0;
  bool lastProvisional_ = false;
};

// Scroll-bar requests of the log view and the top line each one asks for.
enum class ScrollRequest { kLineUp, kLineDown, kPageUp, kPageDown, kTop, kBottom, kThumb, kEnd };
// -1 when the request moves nothing (end of scroll).
int ScrollTarget(const LogStore& store, ScrollRequest request, int thumbPosition);
