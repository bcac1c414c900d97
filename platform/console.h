#pragma once
// The console of a command-line run: standard output in UTF-8, one line at a time.
#include <string>
#include <string_view>

namespace rastello {

class Console {
 public:
  virtual ~Console() = default;
  virtual void Line(std::string_view text) = 0;       // standard output
  virtual void ErrorLine(std::string_view text) = 0;  // standard error: failure reasons
  virtual void SetTitle(std::string_view title) = 0;
  virtual void WaitKey() = 0;
};

// The process's own standard streams. The title is set only on a terminal, and waiting for
// a key reads one key in raw mode, or returns at once when standard input is no terminal.
class StdConsole : public Console {
 public:
  void Line(std::string_view text) override;
  void ErrorLine(std::string_view text) override;
  void SetTitle(std::string_view title) override;
  void WaitKey() override;
};

}  // namespace rastello
