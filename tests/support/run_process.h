#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace officecarve::testing {

struct ProcessResult {
  int exit_code = -1;  // -1 when killed by a signal
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // Sends SIGINT this long after the start (repeated `interrupts` times, a
  // moment apart).
  std::optional<std::chrono::milliseconds> interrupt_after;
  int interrupts = 1;
  std::vector<std::string> environment;  // extra NAME=value entries
};

// Runs a program with standard input from /dev/null and captures its output.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// The command-line program under test.
std::string CliBinary();

}  // namespace officecarve::testing
