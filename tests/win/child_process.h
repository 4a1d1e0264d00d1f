// Running a program as its own process, as a user or a CI job would: the
// Windows tests that judge vorrel.exe (or a plain client) by its exit
// status and the files it writes.
#pragma once

#include <windows.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>

// A file name in the temporary folder.
inline std::string TempPath(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

// The whole file, or nothing when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs `command` in `folder` (empty: this one) with the variables set for it
// alone; its exit status, 0xFFFFFFFF when it could not start, 99 when it ran
// past `timeoutMs` and was ended.
inline DWORD RunChild(std::string command, DWORD timeoutMs,
                      std::initializer_list<std::pair<const char*, std::string>> variables = {},
                      const std::string& folder = "") {
  for (const auto& [name, value] : variables) SetEnvironmentVariableA(name, value.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.empty() ? nullptr : folder.c_str(), &startup, &process);
  for (const auto& variable : variables) SetEnvironmentVariableA(variable.first, nullptr);
  if (!started) return 0xFFFFFFFF;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  DWORD status = 0xFFFFFFFF;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status;
}
