#include "app/command_line.h"

#include "app/options.h"
#include "app/profile.h"
#include "engine/batch.h"
#include "engine/session.h"
#include "settings/text.h"

namespace rastello {

namespace {

constexpr const char* kIncorrectParameters = "Incorrect number of parameters";

std::string Trimmed(const std::vector<std::string>& args, size_t n) {
  return n < args.size() ? std::string(TrimBlanks(args[n])) : std::string();
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string StripQuotes(std::string_view value) {
  while (!value.empty() && value.front() == '"') value.remove_prefix(1);
  while (!value.empty() && value.back() == '"') value.remove_suffix(1);
  return std::string(value);
}

// A quoted value that the shell split at blanks is put together again from the following
// arguments; `n` ends on the last argument used.
std::string JoinQuoted(const std::vector<std::string>& args, size_t& n, std::string value) {
  if (!value.empty() && value.front() == '"' && value.back() != '"') {
    while (n + 1 < args.size()) {
      ++n;
      value += " " + OptionValue(args, n);
      if (value.back() == '"') break;
    }
  }
  return StripQuotes(value);
}

class Parser {
 public:
  Parser(const std::vector<std::string>& args, Session& session) : args_(args), session_(session) {}

  ParsedCommandLine Run() {
    for (size_t n = 0; n < args_.size() && result_.error.empty(); ++n) Option(n);
    if (!result_.error.empty())
      result_.kind = StartKind::Error;
    else if (session_.state.CommandLineMode)
      result_.kind = StartKind::Run;
    else
      result_.kind = StartKind::Window;
    return result_;
  }

 private:
  // One option at argument n; n moves past the arguments it consumes.
  void Option(size_t& n) {
    std::string word = OptionName(args_, n);
    RunState& st = session_.state;
    if (word == "-I" || word == "--INPUT") {
      st.CommandLineMode = true;
      Path(n, word, st.InputRoot, true);
    } else if (word == "-O" || word == "--OUTPUT") {
      Path(n, word, st.OutputFolder, true);
    } else if (word == "-C" || word == "--CONVERSION") {
      Path(n, word, st.OutputFormat, false);
    } else if (word == "-D" || word == "--DEBUG") {
      st.Mode = "DEBUG";
    } else if (word == "-Q" || word == "--QUIET") {
      result_.quiet = true;
    } else if (word == "-P" || word == "--PAUSE") {
      result_.pause = true;
    } else if (word == "--PROFILE") {
      std::string value;
      if (!Value(n, value)) return;
      if (!ApplyProfile(session_.settings, JoinQuoted(args_, n, value))) result_.error = "Invalid profile file";
    } else if (const OptionInfo* option = FindOption(word, kCommandLine)) {
      if (option->kind == OptionKind::Switch) {
        ApplyOption(session_.settings, *option, {});
        return;
      }
      std::string value;
      if (!Value(n, value)) return;
      if (option->kind == OptionKind::Text) value = JoinQuoted(args_, n, value);
      ApplyOption(session_.settings, *option, value);
    }
    // Anything else, including the first-argument commands further on, is ignored.
  }

  // -i, -o and -c: the short forms take the next argument, the long ones their own.
  void Path(size_t& n, const std::string& word, std::string& target, bool join) {
    if (!StartsWith(word, "--")) ++n;
    std::string value = OptionValue(args_, n);
    if (value.empty() || value.front() == '-') {
      result_.error = kIncorrectParameters;
      return;
    }
    target = join ? JoinQuoted(args_, n, value) : StripQuotes(value);
  }

  // The value of an option written as one argument, "--WORD=value". A single leading "-"
  // (a negative number) is fine; a value that looks like another option is not.
  bool Value(size_t n, std::string& value) {
    value = OptionValue(args_, n);
    if (value.empty() || StartsWith(value, "--")) {
      result_.error = kIncorrectParameters;
      return false;
    }
    return true;
  }

  const std::vector<std::string>& args_;
  Session& session_;
  ParsedCommandLine result_;
};

}  // namespace

std::string OptionName(const std::vector<std::string>& args, size_t n) {
  std::string arg = Trimmed(args, n);
  if (StartsWith(arg, "--")) return AsciiUpper(arg.substr(0, arg.find('=')));
  if (StartsWith(arg, "-")) return AsciiUpper(arg);
  return {};
}

std::string OptionValue(const std::vector<std::string>& args, size_t n) {
  std::string arg = Trimmed(args, n);
  if (StartsWith(arg, "--")) {
    size_t eq = arg.find('=');
    if (eq != std::string::npos) return arg.substr(eq + 1);
  }
  return arg;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, Session& session) {
  ParsedCommandLine result;
  if (args.empty()) return result;
  ResetRunState(session);
  ResetSettings(session.settings, true);

  std::string first = OptionName(args, 0);
  if (first == "-U") {
    result.kind = StartKind::Uninstall;
    return result;
  }
  if (first == "-T") {
    result.kind = StartKind::Screenshot;
    session.state.Mode = "T";
    result.screenshotFolder = OptionValue(args, 1);
    return result;
  }
  if (first == "-V" || first == "--VERSION") {
    result.kind = StartKind::Version;
    return result;
  }
  if (first == "-H" || first == "-?" || first == "--HELP") {
    result.kind = StartKind::Help;
    return result;
  }
  return Parser(args, session).Run();
}

}  // namespace rastello
