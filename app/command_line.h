#pragma once
// The command-line grammar: option words, values and the start they ask for.
#include <string>
#include <vector>

namespace rastello {

struct Session;

enum class StartKind {
  Window,      // no input named and no error: the window opens
  Help,        // -h, -?, --help first
  Version,     // -v, --version first
  Uninstall,   // -U first
  Screenshot,  // -T first
  Error,       // the parse stopped at an error
  Run,         // convert the input file
};

struct ParsedCommandLine {
  StartKind kind = StartKind::Window;
  std::string error;  // without "Error: "
  bool quiet = false;
  bool pause = false;
  std::string screenshotFolder;
};

// The option word of an argument, in upper case: the part before "=" of a "--" argument,
// the whole of a "-" argument, "" for no option.
std::string OptionName(const std::vector<std::string>& args, size_t n);
// The part after the first "=" of a "--" argument, else the whole trimmed argument;
// "" past the last argument.
std::string OptionValue(const std::vector<std::string>& args, size_t n);

// Walks the arguments into the session's settings and run state. With arguments it first
// resets both for the command-line mode; with none it leaves the session alone.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, Session& session);

}  // namespace rastello
