#include "vocab/number_text.h"

#include <algorithm>
#include <cstdio>

std::string FormatText(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const VaListEnd endArgs{args};
  std::va_list again;
  va_copy(again, args);
  const VaListEnd endAgain{again};
  char small[64];
  // A failed format gives the empty text.
  const auto length =
      static_cast<std::size_t>(std::max(std::vsnprintf(small, sizeof(small), format, args), 0));
  if (length < sizeof(small)) return std::string(small, length);
  std::string text(length + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, again);
  text.pop_back();
  return text;
}

std::string ShortNumberText(double value) {
  std::string text = FormatText("%f", value);
  // "%f" writes a digit before the point, so trailing zeros and then the
  // point can go without emptying the text.
  const std::size_t last = text.find_last_not_of('0');
  text.erase(text[last] == '.' ? last : last + 1);
  return text;
}
