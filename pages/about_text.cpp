#include "pages/about_text.h"

#include <cstdio>

#include "session/twain_session.h"

std::string AboutText() {
  const int library = TWAIN_LibraryVersion();
  char text[512];
  std::snprintf(text, sizeof(text),
                "%s version %u.%02u\r\n"
                "Copyright (c) Kandrith. All rights reserved.\r\n"
                "A probe for TWAIN Sources and the applications that use them.\r\n"
                "Ambit TWAIN library version %d.%02d",
                kProgramName, kVersionMajor, kVersionMinor, library / 100, library % 100);
  return text;
}
