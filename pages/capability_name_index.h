// The capability list's texts, kept so that the supported-caps scan's
// prefix test costs a binary search instead of a pass over the list. Names
// are not sorted as they come: a run adds many and seldom searches, so a
// search passes over the few added since the last sort and sorts only when
// they have become many.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CapabilityNameIndex {
 public:
  // How many names may wait unsorted; a search past this sorts them in.
  static constexpr std::size_t kUnsortedLimit = 32;

  void Clear();
  void Add(std::string_view name);
  // Whether a name begins with prefix, ignoring the case of ASCII letters.
  bool HasBeginning(std::string_view prefix);
  std::size_t size() const { return names_.size(); }

 private:
  struct Span {
    std::uint32_t offset;
    std::uint32_t size;
  };
  std::string_view Name(Span span) const;
  bool Begins(Span span, std::string_view prefix) const;
  void SortAdded();

  // Every name in lower case, one after another: one block, not one per name.
  std::string text_;
  // The names: those up to sortedCount_ in order (those that begin with a
  // prefix follow one another from the first that is not below it), then
  // the ones added since, as they came.
  std::vector<Span> names_;
  std::size_t sortedCount_ = 0;
};
