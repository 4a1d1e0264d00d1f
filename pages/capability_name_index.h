// The capability list's texts, kept so that the supported-caps scan's
// prefix test costs a binary search instead of a pass over the list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CapabilityNameIndex {
 public:
  void Clear();
  void Add(std::string_view name);
  // Whether a name begins with prefix, ignoring the case of ASCII letters.
  bool HasBeginning(std::string_view prefix) const;
  std::size_t size() const { return sorted_.size(); }

 private:
  struct Span {
    std::uint32_t offset;
    std::uint32_t size;
  };
  std::string_view Name(Span span) const;
  std::vector<Span>::const_iterator FirstNotBelow(std::string_view text) const;

  // Every name in lower case, one after another: one block, not one per name.
  std::string text_;
  // The names in order: those that begin with a prefix follow one another
  // from the first that is not below it.
  std::vector<Span> sorted_;
};
