// The About box's text: the program and its version, the maker's notice and
// the library's version, each on its own line.
#pragma once

#include <string>

constexpr const char* kProgramName = "Vorrel TWAIN Probe";
constexpr unsigned kVersionMajor = 1;
constexpr unsigned kVersionMinor = 26;

std::string AboutText();
