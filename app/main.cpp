// rastello: converts a PNG image to JPG from the command line, or opens its window.
#include <csignal>
#include <string>
#include <vector>

#include "app/start.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  // A write beyond the file-size limit should fail like a full disk, not kill the process
  // before it can remove its temporary file.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  rastello::StdConsole console;
  return rastello::RunProgram(args, console);
}
