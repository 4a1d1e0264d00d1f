// The capability list's texts, kept so that the supported-caps scan's
// prefix test costs a binary search instead of a pass over the list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CapabilityNameIndex {
 public:
  void Clear() { folded_.clear(); }
  void Add(std::string_view name);
  // Whether a name begins with prefix, ignoring the case of ASCII letters.
  bool HasBeginning(std::string_view prefix) const;
  std::size_t size() const { return folded_.size(); }

 private:
  // The names in lower case, sorted: those that begin with a prefix follow
  // one another from the first that is not below it.
  std::vector<std::string> folded_;
};
