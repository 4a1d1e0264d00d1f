#include "pages/value_editors.h"

#include "caps/set_rules.h"
#include "vocab/item_types.h"
#include "vocab/number_text.h"
#include "vocab/twain_names.h"
#include "vocab/value_text.h"

namespace {

constexpr int kMaxNamedValues = 33;

double ReadNumber(const std::string& text) {
  return ParseDecimal(text.c_str());
}

}  // namespace

std::vector<std::string> NamedValues(int cap, int itemType) {
  std::vector<std::string> names;
  if (!IsNumberType(itemType) || !HasNamedValues(itemType, cap)) return names;
  for (int i = 0; i < kMaxNamedValues; ++i) {
    std::string name = ValueText(itemType, i, cap);
    if (!IsValueName(name)) break;
    names.push_back(std::move(name));
  }
  return names;
}

std::string DefaultEditText(int itemType) {
  if (itemType == TWTY_FIX32) return "0.0";
  if (itemType == TWTY_FRAME) return "0, 0, 0, 0 (left,top,right,bottom)";
  if (itemType >= TWTY_STR32 && itemType <= TWTY_STR255) return "";
  return "0";
}

void ValueList::SetUp(int cap) {
  current_ = -1;
  default_ = -1;
  editable_ = false;
  cap_ = cap;
  const SetRule rule = LookupSetRule(cap);
  itemType_ = rule.itemType;
  items_.clear();
  enabled_ = rule.mask != 0;
  if (!enabled_) return;
  const std::vector<std::string> names = NamedValues(cap, itemType_);
  if (!names.empty()) {
    for (const std::string& name : names) items_.push_back({name, false});
  } else {
    const std::string blank = "-" + ItemTypeName(itemType_) + "-";
    items_.assign(kBlankValueItems, Item{blank, false});
  }
  editable_ = names.empty();
}

void ValueList::Check(int k) {
  if (!Valid(k) || items_[k].checked) return;
  items_[k].checked = true;
  if (default_ < 0) default_ = k;
  if (current_ < 0) current_ = k;
}

void ValueList::Uncheck(int k) {
  if (!Valid(k)) return;
  items_[k].checked = false;
  int replacement = -1;
  for (int i = k - 1; i >= 0 && replacement == -1; --i) {
    if (items_[i].checked) replacement = i;
  }
  for (int i = static_cast<int>(items_.size()) - 1; i != k && replacement == -1; --i) {
    if (items_[i].checked) replacement = i;
  }
  if (default_ == k) default_ = replacement;
  if (current_ == k) current_ = replacement;
}

void ValueList::Toggle(int k) {
  if (!Valid(k)) return;
  if (items_[k].checked) {
    Uncheck(k);
  } else {
    Check(k);
  }
}

void ValueList::MakeDefault(int k) {
  if (Valid(k)) default_ = k;
}

void ValueList::MakeCurrent(int k) {
  if (Valid(k)) current_ = k;
}

void ValueList::ClickMarker(int k, int x, int y) {
  if (!Valid(k)) return;
  Check(k);
  if (x + y < kValuePictureSize) {
    MakeCurrent(k);
  } else {
    MakeDefault(k);
  }
}

void ValueList::FinishEdit(int k, const std::string& text) {
  if (!Valid(k) || !editable_) return;
  items_[k].text = text;
  Check(k);
}

int ValueList::Marker(int k) const {
  return (k == default_ ? kMarkerDefault : 0) + (k == current_ ? kMarkerCurrent : 0);
}

int ValueList::CheckedCount() const {
  int count = 0;
  for (const Item& item : items_) count += item.checked ? 1 : 0;
  return count;
}

ContainerHandle* ValueList::Build(int format) const {
  const int count = CheckedCount();
  ContainerHandle* h = format == TWON_ARRAY ? CONTAINER_CreateArray(itemType_, count)
                                            : CONTAINER_CreateEnumeration(itemType_, count);
  if (!h) return nullptr;
  int i = 0;
  for (int j = 0; j < static_cast<int>(items_.size()); ++j) {
    if (!items_[j].checked) continue;
    // A refused frame leaves its item unwritten; the container is still sent.
    StoreItemText(h, i, cap_, items_[j].text.c_str(), j);
    if (j == default_) CONTAINER_SelectDefaultItem(h, i);
    if (j == current_) CONTAINER_SelectCurrentItem(h, i);
    ++i;
  }
  return h;
}

OneValueChoice OneValueReload(int cap, int itemType) {
  OneValueChoice choice;
  choice.names = NamedValues(cap, itemType);
  choice.useList = !choice.names.empty();
  if (!choice.useList) choice.text = DefaultEditText(itemType);
  return choice;
}

ContainerHandle* OneValueBuild(int cap, int itemType, int selected, const std::string& text) {
  ContainerHandle* h = CONTAINER_CreateOneValue(itemType, 0);
  if (h) StoreItemText(h, 0, cap, text.c_str(), selected);
  return h;
}

namespace {

double ReadPair(RangePair& pair) {
  if (pair.dropDownVisible && pair.selected >= 0) return pair.selected;
  const double value = ReadNumber(pair.dropDownVisible ? pair.dropDownText : pair.editText);
  pair.dropDownText = pair.editText = ShortNumberText(value);
  return value;
}

}  // namespace

ContainerHandle* RangeBuild(int, int itemType, RangeInput& input) {
  const double step = ReadNumber(input.step);
  input.step = ShortNumberText(step);
  double values[kRangePairs];
  for (int i = 0; i < kRangePairs; ++i) values[i] = ReadPair(input.pairs[i]);
  ContainerHandle* h = CONTAINER_CreateRange(itemType, values[kRangeMin], values[kRangeMax], step);
  if (!h) return nullptr;
  CONTAINER_SelectDefault(h, values[kRangeDefault]);
  CONTAINER_SelectCurrent(h, values[kRangeCurrent]);
  return h;
}
