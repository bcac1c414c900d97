#pragma once

namespace rastello {

class Console;
struct Session;

// Checks the command line's input, output, format and values, lists them with -d, converts
// the one input file on a worker thread and prints the summary. Returns the exit code:
// 0 when the file was converted, 1 after an error line or "Conversion stopped".
int RunCommandLine(Session& session, bool quiet, Console& console);

}  // namespace rastello
