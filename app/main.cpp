// rastello: converts a PNG image to JPG from the command line, or opens its window.
#include <string>
#include <vector>

#include "app/start.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  rastello::StdConsole console;
  return rastello::RunProgram(args, console);
}
