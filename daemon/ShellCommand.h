#pragma once
// Side programs run through the shell and are waited for; their exit status is never looked at.
#include <cstdio>
#include <cstdlib>
#include <string>

inline void runShellCommand(const std::string& commandLine) {
  // Lines printed so far come before whatever the command prints.
  std::fflush(nullptr);
  int ignored = std::system(commandLine.c_str());
  (void)ignored;
}
