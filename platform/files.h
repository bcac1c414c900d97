#pragma once
// File and folder operations of the core, on POSIX.
#include <cstdint>
#include <string>
#include <string_view>

namespace rastello {

// Size in bytes of a regular file; -1 when the path is missing, -2 when it is a folder,
// -3 for anything else that is not a regular file.
int64_t FileSize(const std::string& path);
bool IsFolder(const std::string& path);
bool CreateFolder(const std::string& path);

// Everything up to and including the last "/"; "" when there is none.
std::string FolderPart(std::string_view path);
// The text after the last "/".
std::string FilePart(std::string_view path);

// The running program's own folder, ending in "/".
std::string ProgramFolder();
std::string CurrentFolder();  // ends in "/"

// Last-modified time as stored dates count it (local seconds); 0 when it cannot be read.
int64_t FileDate(const std::string& path);
// Sets only the last-modified time; false when it cannot be set.
bool SetFileDate(const std::string& path, int64_t localSeconds);

// Writes `data` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`. On any failure the temporary file is removed, `path` is left as it was, and
// `error` says why. An existing target keeps its permission bits; one that may not be written
// to is not replaced.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error);

}  // namespace rastello
