#include "pages/capability_name_index.h"

#include <algorithm>

namespace {

char Fold(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Orders a folded name against a text folded as it is read: negative,
// zero or positive.
int CompareFolded(std::string_view folded, std::string_view text) {
  const std::size_t common = std::min(folded.size(), text.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int a = static_cast<unsigned char>(folded[i]);
    const int b = static_cast<unsigned char>(Fold(text[i]));
    if (a != b) return a - b;
  }
  return (folded.size() > text.size()) - (folded.size() < text.size());
}

}  // namespace

void CapabilityNameIndex::Clear() {
  // The blocks are kept: the next run fills about as many names again.
  text_.clear();
  names_.clear();
  sortedCount_ = 0;
}

std::string_view CapabilityNameIndex::Name(Span span) const {
  return std::string_view(text_).substr(span.offset, span.size);
}

bool CapabilityNameIndex::Begins(Span span, std::string_view prefix) const {
  // A shorter name is cut to itself, and then differs from the prefix.
  return CompareFolded(Name(span).substr(0, prefix.size()), prefix) == 0;
}

void CapabilityNameIndex::Add(std::string_view name) {
  names_.push_back(
      {static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(name.size())});
  for (char c : name) text_.push_back(Fold(c));
}

void CapabilityNameIndex::SortAdded() {
  const auto byName = [this](Span a, Span b) { return Name(a) < Name(b); };
  const auto added = names_.begin() + static_cast<std::ptrdiff_t>(sortedCount_);
  std::sort(added, names_.end(), byName);
  std::inplace_merge(names_.begin(), added, names_.end(), byName);
  sortedCount_ = names_.size();
}

bool CapabilityNameIndex::HasBeginning(std::string_view prefix) {
  if (names_.size() - sortedCount_ > kUnsortedLimit) SortAdded();
  const auto sortedEnd = names_.begin() + static_cast<std::ptrdiff_t>(sortedCount_);
  const auto first = std::lower_bound(
      names_.begin(), sortedEnd, prefix,
      [this](Span span, std::string_view t) { return CompareFolded(Name(span), t) < 0; });
  if (first != sortedEnd && Begins(*first, prefix)) return true;
  return std::any_of(sortedEnd, names_.end(), [&](Span span) { return Begins(span, prefix); });
}
