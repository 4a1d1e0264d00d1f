// The About box's text: the program and its version, the maker's notice and
// the library's version, each on its own line.
#pragma once

#include <string>

constexpr const char* kProgramName = "Vorrel TWAIN Probe";
// The program's one version: the build and the release packages read it here.
constexpr unsigned kVersionMajor = 1;
constexpr unsigned kVersionMinor = 26;
// "1.26", as the About box shows it.
std::string VersionText();

std::string AboutText();

struct AboutRect {
  int left, top, right, bottom;
};
struct AboutLayout {
  AboutRect logo;  // a square centred in the client area
  AboutRect
      text;  // the client area less a quarter of the side left and right, a tenth top and bottom
};
AboutLayout LayOutAbout(int clientWidth, int clientHeight);
// "Logo.bmp" in the folder of the program's own file (the path up to and
// including its last backslash).
std::string LogoPath(const std::string& programPath);
