#include "pages/about_text.h"

#include <algorithm>
#include <cstdio>

#include "session/twain_session.h"

std::string AboutText() {
  const int library = TWAIN_LibraryVersion();
  char text[512];
  std::snprintf(text, sizeof(text),
                "%s version %s\r\n"
                "Copyright (c) Kandrith. All rights reserved.\r\n"
                "A probe for TWAIN Sources and the applications that use them.\r\n"
                "Ambit TWAIN library version %d.%02d",
                kProgramName, VersionText().c_str(), library / 100, library % 100);
  return text;
}

std::string VersionText() {
  char text[16];
  std::snprintf(text, sizeof(text), "%u.%02u", kVersionMajor, kVersionMinor);
  return text;
}

AboutLayout LayOutAbout(int clientWidth, int clientHeight) {
  const int side = std::min(clientWidth, clientHeight);
  const int left = (clientWidth - side) / 2;
  const int top = (clientHeight - side) / 2;
  return {{left, top, left + side, top + side},
          {side / 4, side / 10, clientWidth - side / 4, clientHeight - side / 10}};
}

std::string LogoPath(const std::string& programPath) {
  const std::size_t slash = programPath.rfind('\\');
  return (slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1)) +
         "Logo.bmp";
}
