// Tables that map a TWAIN code to its name, kept sorted by code so one
// binary search serves every lookup.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

#include "twain/twain.h"

struct CodeName {
  TW_UINT32 code;
  const char* name;
};

// Rows of any table with a `code` member, ascending with no repeats.
template <typename Row, std::size_t N>
constexpr bool SortedByCode(const Row (&rows)[N]) {
  for (std::size_t i = 1; i < N; ++i) {
    if (!(rows[i - 1].code < rows[i].code)) return false;
  }
  return true;
}

// The row whose code matches, or null.
template <typename Row, std::size_t N>
const Row* FindCode(const Row (&rows)[N], TW_UINT32 code) {
  const Row* row = std::lower_bound(std::begin(rows), std::end(rows), code,
                                    [](const Row& r, TW_UINT32 c) { return r.code < c; });
  return row != std::end(rows) && row->code == code ? row : nullptr;
}

template <std::size_t N>
const char* FindName(const CodeName (&rows)[N], TW_UINT32 code) {
  const CodeName* row = FindCode(rows, code);
  return row ? row->name : nullptr;
}

// The code of a name in a table, ignoring case; nothing for one it lacks.
std::optional<int> CodeByName(std::span<const CodeName> table, std::string_view name);
