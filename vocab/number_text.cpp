#include "vocab/number_text.h"

#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  char small[64];
  const int length = std::vsnprintf(small, sizeof(small), format, args);
  va_end(args);
  std::string text;
  if (length < 0) {
    text.clear();
  } else if (static_cast<std::size_t>(length) < sizeof(small)) {
    text.assign(small, static_cast<std::size_t>(length));
  } else {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  return text;
}

std::string ShortNumberText(double value) {
  std::string text = FormatText("%f", value);
  while (text.size() > 1 && text.back() == '0') text.pop_back();
  while (text.size() > 1 && text.back() == '.') text.pop_back();
  return text;
}
