#pragma once
#include <string>
#include <vector>

namespace rastello {

class Console;

// The whole program after the process has started: parses the arguments, takes the
// instance lock, and runs the mode they ask for. Returns the exit code: 0 for success,
// help, version and the window; 1 when a run fails; 2 for a command line that cannot be
// parsed or a mode this build does not have.
int RunProgram(const std::vector<std::string>& args, Console& console);

}  // namespace rastello
