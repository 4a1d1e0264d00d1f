// What the four value editors hold and build, without their windows: the
// ValueList of the array and enumeration editors with its check and marker
// rules, and the build of each editor's container from what the user entered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "caps/container.h"

// The names of a capability's values in value order (position = value), when
// its SET item type is a plain number type whose value 0 has a name; else empty.
std::vector<std::string> NamedValues(int cap, int itemType);
// What an edit field starts with for the item type.
std::string DefaultEditText(int itemType);

// Marker picture index: 1 x default + 2 x current.
constexpr int kMarkerDefault = 1;
constexpr int kMarkerCurrent = 2;
// The candidate slots offered when a capability has no names.
constexpr int kBlankValueItems = 33;
// The marker and check-box pictures are this many pixels square.
constexpr int kValuePictureSize = 16;

class ValueList {
 public:
  struct Item {
    std::string text;
    bool checked = false;
  };

  // Empties the list and fills it for the capability; disabled and empty
  // when the capability cannot be set.
  void SetUp(int cap);

  void Check(int k);
  void Uncheck(int k);
  void Toggle(int k);
  void MakeDefault(int k);
  void MakeCurrent(int k);
  // A click at (x, y) inside item k's marker picture: the upper-left half
  // makes it current, the lower-right half default; either way it is checked.
  void ClickMarker(int k, int x, int y);
  // False when texts may not be edited.
  bool CanEdit() const { return editable_; }
  // A finished (not cancelled) edit: the text is taken and the item checked.
  void FinishEdit(int k, const std::string& text);

  // A new array or enumeration of the checked items, with the markers as
  // its current and default; null when no container could be made.
  ContainerHandle* Build(int format) const;

  int Marker(int k) const;
  int CheckedCount() const;
  const std::vector<Item>& items() const { return items_; }
  int cap() const { return cap_; }
  int itemType() const { return itemType_; }
  int current() const { return current_; }
  int defaultIndex() const { return default_; }
  bool enabled() const { return enabled_; }

 private:
  bool Valid(int k) const { return k >= 0 && k < static_cast<int>(items_.size()); }

  std::vector<Item> items_;
  int cap_ = -1;
  int itemType_ = 0;
  int current_ = -1;
  int default_ = -1;
  bool editable_ = false;
  bool enabled_ = false;
};

// The one-value editor: a list of names or an edit field.
struct OneValueChoice {
  bool useList = false;
  std::vector<std::string> names;  // the list's entries when useList
  std::string text;                // the edit field's text otherwise
};
OneValueChoice OneValueReload(int cap, int itemType);
// selected: the list's selected index, -1 for none; text: the edit field's.
ContainerHandle* OneValueBuild(int cap, int itemType, int selected, const std::string& text);

// One pair of the range editor: a drop-down over an edit field.
struct RangePair {
  bool dropDownVisible = false;
  int selected = -1;         // the drop-down's selected entry
  std::string dropDownText;  // what is typed into the drop-down
  std::string editText;      // the edit field's text
};
enum RangePairIndex { kRangeMin, kRangeMax, kRangeCurrent, kRangeDefault, kRangePairs };
struct RangeInput {
  std::string step;
  RangePair pairs[kRangePairs];
};
// Builds the range and rewrites the typed numbers in their short form, as
// the editor shows them after SET.
ContainerHandle* RangeBuild(int cap, int itemType, RangeInput& input);
