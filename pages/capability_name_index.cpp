#include "pages/capability_name_index.h"

#include <algorithm>

namespace {

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = Fold(c);
  return folded;
}

}  // namespace

void CapabilityNameIndex::Add(std::string_view name) {
  std::string folded = Folded(name);
  folded_.insert(std::upper_bound(folded_.begin(), folded_.end(), folded), std::move(folded));
}

bool CapabilityNameIndex::HasBeginning(std::string_view prefix) const {
  const std::string folded = Folded(prefix);
  const auto first = std::lower_bound(folded_.begin(), folded_.end(), folded);
  return first != folded_.end() && first->compare(0, folded.size(), folded) == 0;
}
