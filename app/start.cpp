#include "app/start.h"

#include <memory>

#include "app/cli_run.h"
#include "app/command_line.h"
#include "app/help.h"
#include "app/identity.h"
#include "engine/session.h"
#include "i18n/strings.h"
#include "platform/console.h"
#include "platform/instance_lock.h"

namespace rastello {

namespace {

int WindowModeUnavailable(Console& console) {
  console.Line("Error: window mode is not available in this build");
  return 2;
}

}  // namespace

int RunProgram(const std::vector<std::string>& args, Console& console) {
  // Large: the settings and queue live for the whole process.
  auto session = std::make_unique<Session>();
  ParsedCommandLine parsed = ParseCommandLine(args, *session);
  const std::string title = ProgramTitle();
  InstanceLock lock;

  switch (parsed.kind) {
    case StartKind::Window:
      // A second window start ends at once and silently.
      if (lock.Acquire(title, InstanceLock::Mode::Exclusive) != InstanceLock::Result::Acquired) return 0;
      return WindowModeUnavailable(console);
    case StartKind::Uninstall:
    case StartKind::Screenshot:
      return WindowModeUnavailable(console);
    default:
      break;
  }

  // Command-line starts share the lock with each other, but not with an open window. The
  // lock guards the window's settings file, which the command line never touches, so a lock
  // file that cannot be made at all does not stop a conversion.
  if (lock.Acquire(title, InstanceLock::Mode::Shared) == InstanceLock::Result::Busy) {
    console.Line("Error: Another instance of " + std::string(kDisplayName) + " is running");
    return 1;
  }
  BuildStringTables("");
  console.SetTitle(title);
  switch (parsed.kind) {
    case StartKind::Version:
      console.Line(VersionText(kProgramVersion));
      return 0;
    case StartKind::Help:
      for (const std::string& line : HelpLines()) console.Line(line);
      return 0;
    case StartKind::Error:
      console.Line("Error: " + parsed.error);
      if (parsed.pause) console.WaitKey();
      return 2;
    default:
      break;
  }
  if (!parsed.quiet)
    for (const std::string& line : BannerLines()) console.Line(line);
  int code = RunCommandLine(*session, parsed.quiet, console);
  if (parsed.pause) {
    console.Line("Press any key to exit.");
    console.WaitKey();
  }
  return code;
}

}  // namespace rastello
