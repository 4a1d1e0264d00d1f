// printf-style text into a std::string, and the short number text the value
// editors and the layout page write back into their fields.
#pragma once

#include <cstdarg>
#include <string>

#if defined(__GNUC__)
#define VORREL_PRINTF(format_index) __attribute__((format(printf, format_index, format_index + 1)))
#else
#define VORREL_PRINTF(format_index)
#endif

std::string FormatText(const char* format, ...) VORREL_PRINTF(1);

// Ends a started or copied va_list when it leaves scope, early returns included.
struct VaListEnd {
  std::va_list& list;
  ~VaListEnd() { va_end(list); }
};

// "%f", then trailing zeros and a trailing point removed while more than one
// character remains: 1.5 gives "1.5", 2 gives "2".
std::string ShortNumberText(double value);
