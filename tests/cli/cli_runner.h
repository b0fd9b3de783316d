// Runs a command line of lumenard-cli in the test's process and catches what it prints: the
// commands write to the standard streams, the dispatcher to the streams it is given.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "cli/command.h"

namespace cli_testing {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

inline Outcome RunCli(const CliArgs& words) {
  std::ostringstream out, err;
  std::streambuf* oldOut = std::cout.rdbuf(out.rdbuf());
  std::streambuf* oldErr = std::cerr.rdbuf(err.rdbuf());
  int code = RunCommandLine(words, out, err);
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldErr);
  return {code, out.str(), err.str()};
}

}  // namespace cli_testing
