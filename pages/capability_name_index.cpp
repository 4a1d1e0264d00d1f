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
  *this = CapabilityNameIndex{};
}

std::string_view CapabilityNameIndex::Name(Span span) const {
  return std::string_view(text_).substr(span.offset, span.size);
}

std::vector<CapabilityNameIndex::Span>::const_iterator CapabilityNameIndex::FirstNotBelow(
    std::string_view text) const {
  return std::lower_bound(
      sorted_.begin(), sorted_.end(), text,
      [this](Span span, std::string_view t) { return CompareFolded(Name(span), t) < 0; });
}

void CapabilityNameIndex::Add(std::string_view name) {
  const auto place = FirstNotBelow(name);
  const Span span{static_cast<std::uint32_t>(text_.size()),
                  static_cast<std::uint32_t>(name.size())};
  for (char c : name) text_.push_back(Fold(c));
  sorted_.insert(place, span);
}

bool CapabilityNameIndex::HasBeginning(std::string_view prefix) const {
  const auto first = FirstNotBelow(prefix);
  if (first == sorted_.end()) return false;
  // A shorter name is cut to itself, and then differs from the prefix.
  return CompareFolded(Name(*first).substr(0, prefix.size()), prefix) == 0;
}
