#pragma once
// The batch runner: converts every queued file on the worker thread.
#include <string>
#include <string_view>

namespace rastello {

struct Session;

// Converts one file: ConvertFile, or a stand-in in tests.
using FileConverter = bool (*)(Session&);

// Thread entry: converts the queue while Running holds, publishing progress. Returns 0.
int RunBatch(Session& session);
int RunBatch(Session& session, FileConverter convert);
// RunState back to its start values and the queue emptied (Mode, the image size, the frame
// number and Running are kept).
void ResetRunState(Session& session);

// The subfolder of `file` below `root`, or "".
std::string RelativeSubfolder(std::string_view file, std::string_view root);
// Takes `path` as the one queued file when it is not empty and has an accepted extension.
bool AddInputFile(Session& session, const std::string& path);
// Extension of the last path element: none when it has no ".", when it begins with its last
// ".", or when a blank follows that ".".
std::string ExtensionPart(std::string_view path);

}  // namespace rastello
