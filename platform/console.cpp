#include "platform/console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace rastello {

void StdConsole::Line(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void StdConsole::ErrorLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void StdConsole::SetTitle(std::string_view title) {
  if (!::isatty(STDOUT_FILENO)) return;
  std::fputs("\033]0;", stdout);
  std::fwrite(title.data(), 1, title.size(), stdout);
  std::fputc('\007', stdout);
  std::fflush(stdout);
}

void StdConsole::WaitKey() {
  if (!::isatty(STDIN_FILENO)) return;
  termios saved;
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char c;
  while (::read(STDIN_FILENO, &c, 1) < 0) {
  }
  // A key such as an arrow sends several bytes; swallow the rest of its sequence.
  pollfd p{STDIN_FILENO, POLLIN, 0};
  while (::poll(&p, 1, 20) > 0 && ::read(STDIN_FILENO, &c, 1) > 0) {
  }
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace rastello
