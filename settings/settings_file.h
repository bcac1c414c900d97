#pragma once
// config.ini: where the window mode keeps its settings, the exact text it writes, and reading
// that text back, hand edits and older layouts included.
#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace rastello {

// The layout version written as [General] CFG.
inline constexpr int32_t kSettingsLayoutVersion = 19;

// $XDG_CONFIG_HOME (else ~/.config), then "Tessaly/", then "rastello/", each missing level
// created; ends in "/". A level that cannot be created is not reported: the write fails later.
// Empty when no home folder can be found. Computed on the first call and kept.
std::string SettingsFolder();
// The same, computed afresh from the environment on every call.
std::string BuildSettingsFolder();
// SettingsFolder() + "config.ini"; empty when there is no folder.
std::string SettingsFilePath();

// The complete bytes of config.ini for `s`: BOM line, CR LF line ends, "key = value".
std::string SettingsFileText(const Settings& s);

// Replaces the file at `path` with SettingsFileText(s) through a temporary file beside it, so
// that a failure or a crash leaves the previous file whole. A symbolic link is written through
// to its target, and a file its owner made read-only is left alone. False when nothing was
// written; no message either way.
bool WriteSettingsFile(const Settings& s, const std::string& path);
bool WriteSettingsFile(const Settings& s);  // at SettingsFilePath()

// Fills every field of `s` from the file at `path`; a missing key takes its read default and
// older layouts are upgraded. A file that cannot be opened gives the window-mode defaults
// with the window centred on `desktop`.
void ReadSettingsFile(Settings& s, const std::string& path, DesktopSize desktop = {});
void ReadSettingsFile(Settings& s, DesktopSize desktop = {});  // from SettingsFilePath()

}  // namespace rastello
