#pragma once
// Runs the built program as a user would, capturing what it prints.
#include <map>
#include <string>
#include <vector>

namespace rastello::test {

struct ProgramResult {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
  std::vector<std::string> lines() const;  // standard output split at LF
};

struct ProgramOptions {
  std::string workingDir;                    // "" = the test's own
  std::map<std::string, std::string> env;    // added to (or replacing) the environment
  int timeoutSeconds = 60;
  std::vector<std::string> wrapper;          // a command the program runs under, e.g. setpriv
};

ProgramResult RunRastello(const std::vector<std::string>& args, const ProgramOptions& options = {});

}  // namespace rastello::test
