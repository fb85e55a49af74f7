#pragma once
// Runs a program of the build (found beside the running test) with arguments
// and extra environment variables, and collects its exit status and output.
// The child is always waited for; a child still running after the time limit
// is killed, so nothing outlives the test.

#include <map>
#include <string>
#include <vector>

struct TProgramResult {
  int Status = -1;  // exit status, or -1 when it did not exit normally
  std::string Out;
  std::string Err;
};

TProgramResult RunProgram(const std::string& Name, const std::vector<std::string>& Args,
                          const std::map<std::string, std::string>& Env = {},
                          int TimeLimitMs = 20000);
